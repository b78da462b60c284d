#include "tests/support/fake_platform.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <type_traits>

#include "gloam/platform/null/null_standin.h"

using namespace gloam;
using standin::Api;

namespace fakeplatform {

namespace {

struct State {
    std::vector<Call> log;
    Script script;
};

State& state() {
    static State theState;
    return theState;
}

void put(std::ostream& out, const char* s) {
    if (s == nullptr) {
        out << "NULL";
    } else if (IS_INTRESOURCE(s)) {
        out << '#' << reinterpret_cast<std::uintptr_t>(s);
    } else {
        out << '"' << s << '"';
    }
}
template <typename T>
void put(std::ostream& out, T value) {
    if constexpr (std::is_pointer_v<T>) {
        out << "0x" << std::hex << reinterpret_cast<std::uintptr_t>(value) << std::dec;
    } else {
        out << value;
    }
}
// The bytes in hex: the engine leaves most fields 0.
void put(std::ostream& out, const PIXELFORMATDESCRIPTOR* d) {
    if (d == nullptr) return void(out << "NULL");
    out << std::hex;
    for (std::size_t k = 0; k < sizeof *d; ++k)
        out << (k == 0 ? "{" : " ") << int(reinterpret_cast<const unsigned char*>(d)[k]);
    out << std::dec << '}';
}
void put(std::ostream& out, const WNDCLASSA* c);

template <typename... Args>
std::string joined(const Args&... args) {
    std::ostringstream out;
    const char* separator = "";
    ((out << separator, put(out, args), separator = ", "), ...);
    return out.str();
}

void put(std::ostream& out, const WNDCLASSA* c) {
    if (c == nullptr) return void(out << "NULL");
    out << '{'
        << joined(c->style, c->lpfnWndProc, c->cbClsExtra, c->cbWndExtra, c->hInstance, c->hIcon,
                  c->hCursor, c->hbrBackground, c->lpszMenuName, c->lpszClassName)
        << '}';
}

// What tests read: the calls a backend answers, and the stand-in's calls
// that the program makes of its own accord rather than in its message loop.
bool isLogged(Api api) {
    switch (api) {
#define FAKEPLATFORM_CASE(name) case Api::name:
        GLOAM_BACKEND_CALLS(FAKEPLATFORM_CASE)
#undef FAKEPLATFORM_CASE
        case Api::RegisterClassA:
        case Api::PostMessageA:
        case Api::PostQuitMessage:
        case Api::SendMessageA:
            return true;
        default:
            return false;
    }
}

bool observe(Api api, const void* arguments) {
    // Every run begins with its window: the close asked for is scripted then,
    // and no script of the environment's ever reaches a test.
    if (api == Api::CreateWindowExA) {
        const int close = state().script.closeAfterSwaps;
        nullstandin::setScript(close > 0
                                   ? std::vector<nullstandin::ScriptedMessage>{{close, WM_CLOSE}}
                                   : std::vector<nullstandin::ScriptedMessage>{});
    }
    if (!isLogged(api)) return true;
    state().log.push_back(describe(api, arguments));
    return !state().script.failing.test(std::size_t(api));
}

// Linking the fake is enough to install it; reset() installs it again.
const bool installed = (standin::setObserver(&observe), true);

}  // namespace

Call describe(Fn fn, const void* arguments) {
    switch (fn) {
#define FAKEPLATFORM_DESCRIBE(name)                                           \
    case Api::name:                                                           \
        return {fn, std::apply([](const auto&... a) { return joined(a...); }, \
                               *static_cast<const standin::Arguments<Api::name>*>(arguments))};
        GLOAM_STANDIN_CALLS(FAKEPLATFORM_DESCRIBE)
        GLOAM_BACKEND_CALLS(FAKEPLATFORM_DESCRIBE)
#undef FAKEPLATFORM_DESCRIBE
    }
    return {fn, "?"};
}

std::string format(const Call& call) {
#define FAKEPLATFORM_NAME(name) #name,
    static const char* const names[] = {GLOAM_STANDIN_CALLS(FAKEPLATFORM_NAME)
                                            GLOAM_BACKEND_CALLS(FAKEPLATFORM_NAME)};
#undef FAKEPLATFORM_NAME
    return names[std::size_t(call.fn)] + ('(' + call.args + ')');
}

std::ostream& operator<<(std::ostream& out, const Call& call) { return out << format(call); }
void PrintTo(const Call& call, std::ostream* out) { *out << call; }

Script& script() { return state().script; }

void reset() {
    state() = State{};
    nullstandin::reset();
    standin::setObserver(&observe);
}

const std::vector<Call>& calls() { return state().log; }

std::vector<Call> callsTo(std::initializer_list<Fn> fns) {
    std::vector<Call> kept;
    for (const Call& c : state().log)
        if (std::find(fns.begin(), fns.end(), c.fn) != fns.end()) kept.push_back(c);
    return kept;
}

std::size_t count(Fn fn) { return callsTo({fn}).size(); }

std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected) {
    const std::size_t first = std::size_t(
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
        actual.begin());
    if (first == actual.size() && first == expected.size()) return "";
    std::ostringstream out;
    out << actual.size() << " calls, expected " << expected.size() << "; first difference at "
        << first << '\n';
    auto list = [&](const char* title, const std::vector<Call>& calls) {
        out << title << ":\n";
        for (std::size_t i = first < 3 ? 0 : first - 3; i < calls.size() && i < first + 4; ++i)
            out << (i == first ? "> " : "  ") << i << ' ' << calls[i] << '\n';
    };
    list("actual", actual);
    list("expected", expected);
    return out.str();
}

HGLRC lastContext() { return nullstandin::lastContext(); }

}  // namespace fakeplatform
