// sint-sapi-host: loads an engine library by path, creates its engine through
// DllGetClassObject, gives it a voice token from the command line, and speaks
// text given as fragments, printing the events and writing the audio to a
// wave file. On Windows it can instead take a voice token from the speech
// registry and create the engine through COM, as the speech API does. A way
// to see the engine work without the speech API.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/process.h"
#include "engine/guid_text.h"
#include "engine/speech_api.h"
#include "engine/value_token.h"
#include "tools/sint-sapi-host/host_platform.h"

namespace {

constexpr const char* kUsage =
    "usage: sint-sapi-host [options] LIBRARY FRAGMENT...\n"
    "       sint-sapi-host [options] --token NAME FRAGMENT...   (Windows)\n"
    "Speaks the fragments through the engine library LIBRARY (libMorvDll.so or\n"
    "libMorvDllYu.so; MorvDll.dll or MorvDllYu.dll), prints its events and writes\n"
    "the audio to a wave file. With --token the engine and its values come from\n"
    "the voice token NAME of the speech registry instead.\n"
    "A fragment is text to speak (UTF-8), \"bookmark:NAME\" or \"silence:MS\".\n"
    "options:\n"
    "  --token NAME        the voice token (the engine is created by its CLSID)\n"
    "  --register          register the library first (registry file: $SINT_REGISTRY_FILE)\n"
    "  --unregister        unregister the library and stop\n"
    "  --clsid GUID        the engine's class (default: <library name>.TTSEngine\n"
    "                      from the registry file)\n"
    "  --engine-path PATH  token value EnginePath (default: sintsrv beside this program)\n"
    "  --port N            token value Port (default 10150)\n"
    "  --lifespan N        token value Lifespan (default 30)\n"
    "  --mode N            token value Mode (default 0; 1 sends YU)\n"
    "  --out FILE          wave file to write (default out.wav)\n"
    "  --help              this text\n";

[[noreturn]] void fail(const std::string& reason) {
    std::fprintf(stderr, "sint-sapi-host: %s\n", reason.c_str());
    std::exit(1);
}

WideString from_utf8(const std::string& text) {
    WideString out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::uint32_t c = byte;
        int extra = 0;
        if (byte >= 0xF0) {
            c = byte & 0x07;
            extra = 3;
        } else if (byte >= 0xE0) {
            c = byte & 0x0F;
            extra = 2;
        } else if (byte >= 0xC0) {
            c = byte & 0x1F;
            extra = 1;
        }
        ++i;
        for (; extra > 0 && i < text.size(); --extra, ++i)
            c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (c >> 10));
            out += static_cast<WCHAR>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<WCHAR>(c);
        }
    }
    return out;
}

std::string to_utf8(const WideString& text) {
    std::string out;
    for (WCHAR c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The output site: prints every event and collects the audio.
class Site final : public ISpTTSEngineSite {
public:
    using Clock = std::chrono::steady_clock;
    std::vector<std::uint8_t> audio;
    Clock::time_point speak_started;
    std::optional<Clock::duration> first_audio;  // from Speak to the first written byte
    const WideString* source = nullptr;          // all fragment texts, joined as offsets count

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE AddEvents(const SPEVENT* events, ULONG count) override {
        for (ULONG i = 0; i < count; ++i) print(events[i]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEventInterest(ULONGLONG* interest) override {
        *interest = ~0ull;
        return S_OK;
    }
    DWORD STDMETHODCALLTYPE GetActions() override { return SPVES_CONTINUE; }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override {
        if (!first_audio && size > 0) first_audio = Clock::now() - speak_started;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        audio.insert(audio.end(), bytes, bytes + size);
        if (written) *written = size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRate(LONG* rate) override {
        *rate = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolume(USHORT* volume) override {
        *volume = 100;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSkipInfo(SPVSKIPTYPE* type, LONG* count) override {
        *type = SPVST_SENTENCE;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CompleteSkip(LONG) override { return S_OK; }

private:
    std::string source_text(LPARAM offset, WPARAM length) const {
        if (source == nullptr || offset < 0 || static_cast<std::size_t>(offset) > source->size())
            return {};
        return to_utf8(source->substr(static_cast<std::size_t>(offset), length));
    }
    void print(const SPEVENT& e) const {
        const double ms = static_cast<double>(e.ullAudioStreamOffset) / 32.0;
        switch (e.eEventId) {
            case SPEI_SENTENCE_BOUNDARY:
                std::printf("%10.1f ms  sentence  \"%s\"\n", ms,
                            source_text(e.lParam, e.wParam).c_str());
                break;
            case SPEI_WORD_BOUNDARY:
                std::printf("%10.1f ms  word      \"%s\"\n", ms,
                            source_text(e.lParam, e.wParam).c_str());
                break;
            case SPEI_TTS_BOOKMARK:
                std::printf("%10.1f ms  bookmark  \"%s\" (%ld)\n", ms,
                            to_utf8(reinterpret_cast<const WCHAR*>(e.lParam)).c_str(),
                            static_cast<long>(e.wParam));
                break;
            default:
                std::printf("%10.1f ms  event %u\n", ms, e.eEventId);
        }
    }
};

void put_le(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool write_wave(const std::string& path, const std::vector<std::uint8_t>& audio) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const auto size = static_cast<std::uint32_t>(audio.size());
    out.write("RIFF", 4);
    put_le(out, 36 + size, 4);
    out.write("WAVEfmt ", 8);
    put_le(out, 16, 4);
    put_le(out, WAVE_FORMAT_PCM, 2);
    put_le(out, 1, 2);
    put_le(out, 16000, 4);
    put_le(out, 32000, 4);
    put_le(out, 2, 2);
    put_le(out, 16, 2);
    out.write("data", 4);
    put_le(out, size, 4);
    out.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

DWORD number_argument(const std::string& option, const char* value) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(value, &end, 10);
    if (end == value || *end != '\0') fail(option + " needs a number");
    return static_cast<DWORD>(n);
}

// "libMorvDllYu.so" → "MorvDllYu".
std::string library_name(const std::string& path) {
    std::string name = std::filesystem::path(path).stem().string();
    if (name.rfind("lib", 0) == 0) name = name.substr(3);
    return name;
}

// Loads the library, registers or unregisters it when asked, and creates its
// engine; nothing when only unregistering or registering was asked for.
ISpTTSEngine* engine_from_library(const std::string& library_path, bool do_register,
                                  bool do_unregister, std::string clsid_text, bool speak) {
    if (library_path.empty()) fail("no library given (see --help)");
    const std::string absolute = std::filesystem::absolute(library_path).string();
    sint::host::EngineExports exports;
    std::string error;
    if (!sint::host::load_library(absolute, exports, error)) fail(error);
    if (do_unregister) {
        if (FAILED(exports.unregister_server())) fail("unregistering failed");
        std::printf("unregistered %s from %s\n", library_name(absolute).c_str(),
                    sint::host::registry_place().c_str());
        return nullptr;
    }
    if (do_register) {
        if (FAILED(exports.register_server())) fail("registering failed");
        std::printf("registered %s in %s\n", library_name(absolute).c_str(),
                    sint::host::registry_place().c_str());
    }
    if (!speak) return nullptr;
    if (clsid_text.empty()) {
        clsid_text = sint::host::registered_class(library_name(absolute)).value_or("");
        if (clsid_text.empty()) fail("the class is not registered; give --register or --clsid");
    }
    const auto clsid = sint::parse_guid(clsid_text);
    if (!clsid) fail("not a class identifier: " + clsid_text);
    void* object = nullptr;
    if (FAILED(exports.get_class(*clsid, IID_IClassFactory, &object)))
        fail("the library does not serve class " + clsid_text);
    auto* factory = static_cast<IClassFactory*>(object);
    if (FAILED(factory->CreateInstance(nullptr, IID_ISpTTSEngine, &object)))
        fail("the engine object cannot be created");
    factory->Release();
    return static_cast<ISpTTSEngine*>(object);
}

}  // namespace

int main(int argc, char** argv) {
    bool do_register = false, do_unregister = false;
    std::string clsid_text, output = "out.wav", library_path, token_name;
    // The voice token: the values given on the command line, else these.
    sint::ValueToken token;
    token.strings[SINT_WIDE("EnginePath")] =
        from_utf8(sint::program_folder() + sint::executable_name("sintsrv"));
    token.numbers[SINT_WIDE("Port")] = 10150;
    token.numbers[SINT_WIDE("Lifespan")] = 30;
    token.numbers[SINT_WIDE("Mode")] = 0;
    std::vector<std::string> pieces;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc) fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--register") {
            do_register = true;
        } else if (arg == "--unregister") {
            do_unregister = true;
        } else if (arg == "--token") {
            token_name = value();
        } else if (arg == "--clsid") {
            clsid_text = value();
        } else if (arg == "--engine-path") {
            token.strings[SINT_WIDE("EnginePath")] = from_utf8(value());
        } else if (arg == "--port") {
            token.numbers[SINT_WIDE("Port")] = number_argument(arg, value());
        } else if (arg == "--lifespan") {
            token.numbers[SINT_WIDE("Lifespan")] = number_argument(arg, value());
        } else if (arg == "--mode") {
            token.numbers[SINT_WIDE("Mode")] = number_argument(arg, value());
        } else if (arg == "--out") {
            output = value();
        } else if (arg.rfind("--", 0) == 0) {
            fail("unknown option " + arg + " (see --help)");
        } else if (library_path.empty() && token_name.empty()) {
            library_path = arg;
        } else {
            pieces.push_back(arg);
        }
    }
    ISpTTSEngine* engine = nullptr;
    ISpObjectToken* voice_token = &token;
    if (!token_name.empty()) {
        if (pieces.empty()) fail("nothing to speak (see --help)");
        std::string error;
        ISpObjectToken* registry_token = nullptr;
        if (FAILED(sint::host::create_from_token(token_name, &engine, &registry_token, error)))
            fail(error);
        voice_token = registry_token;
        std::printf("voice token %s\n", token_name.c_str());
    } else {
        engine = engine_from_library(library_path, do_register, do_unregister, clsid_text,
                                     !pieces.empty());
        if (engine == nullptr) return 0;
    }
    void* object = nullptr;
    if (FAILED(engine->QueryInterface(IID_ISpObjectWithToken, &object)))
        fail("the engine takes no token");
    auto* with_token = static_cast<ISpObjectWithToken*>(object);

    // The fragments, with source offsets into one joined text.
    std::deque<WideString> texts;
    std::vector<SPVTEXTFRAG> fragments(pieces.size());
    WideString source;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        SPVTEXTFRAG& f = fragments[i];
        f = SPVTEXTFRAG{};
        f.State.Volume = 100;
        const std::string& piece = pieces[i];
        if (piece.rfind("bookmark:", 0) == 0) {
            f.State.eAction = SPVA_Bookmark;
            texts.push_back(from_utf8(piece.substr(9)));
        } else if (piece.rfind("silence:", 0) == 0) {
            f.State.eAction = SPVA_Silence;
            f.State.SilenceMSecs = number_argument("silence:", piece.c_str() + 8);
            texts.emplace_back();
        } else {
            f.State.eAction = SPVA_Speak;
            texts.push_back(from_utf8(piece));
        }
        f.pTextStart = texts.back().c_str();
        f.ulTextLen = static_cast<ULONG>(texts.back().size());
        f.ulTextSrcOffset = static_cast<ULONG>(source.size());
        source += texts.back() + SINT_WIDE(" ");
        f.pNext = i + 1 < pieces.size() ? &fragments[i + 1] : nullptr;
    }

    if (token_name.empty())
        std::printf("starting the voice (server %s, port %u)\n",
                    to_utf8(token.strings[SINT_WIDE("EnginePath")]).c_str(),
                    static_cast<unsigned>(token.numbers[SINT_WIDE("Port")]));
    // As the speech API does, a voice whose token fails is not used.
    if (const HRESULT set = with_token->SetObjectToken(voice_token); FAILED(set)) {
        char reason[96];
        std::snprintf(reason, sizeof reason, "the voice cannot reach its server (HRESULT 0x%08lX)",
                      static_cast<unsigned long>(set));
        with_token->Release();
        engine->Release();
        if (voice_token != &token) voice_token->Release();
        fail(reason);
    }
    Site site;
    site.source = &source;
    site.speak_started = Site::Clock::now();
    const HRESULT spoken = engine->Speak(0, SPDFID_WaveFormatEx, nullptr, fragments.data(), &site);
    with_token->Release();
    engine->Release();
    if (voice_token != &token) voice_token->Release();
    if (FAILED(spoken)) fail("Speak failed");
    if (!write_wave(output, site.audio)) fail("cannot write " + output);
    if (site.first_audio)
        std::printf(
            "first audio after %lld ms\n",
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(*site.first_audio).count()));
    std::printf("%zu bytes of audio (%.2f s) written to %s\n", site.audio.size(),
                static_cast<double>(site.audio.size()) / 32000.0, output.c_str());
    return 0;
}
