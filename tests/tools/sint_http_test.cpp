// sint-http end to end: the program started on a free port in front of a real
// sintsrv with the synthetic test voice, asked over HTTP with the library's
// client, its audio decoded by the Debian libraries of each format.
#include <FLAC/stream_decoder.h>
#include <arpa/inet.h>
#include <httplib.h>
#include <mpg123.h>
#include <netinet/in.h>
#include <opusfile.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "tests/support/sintsrv_process.h"
#include "tests/support/strict.h"

namespace sint {
namespace {

constexpr const char* kText = "Mama ima kis. Mama ima kis.";

// Samples of 16-bit little-endian bytes.
std::vector<std::int16_t> samples_of(std::string_view bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                               static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
    return samples;
}

// MP3 through libmpg123: the number of samples (at 16 kHz, mono).
long mp3_samples(const std::string& bytes) {
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle) return -1;
    mpg123_format_none(handle);
    mpg123_format(handle, 16000, MPG123_MONO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(handle);
    long count = 0;
    std::vector<unsigned char> out(1 << 16);
    std::size_t done = 0;
    int status = mpg123_decode(handle, reinterpret_cast<const unsigned char*>(bytes.data()),
                               bytes.size(), out.data(), out.size(), &done);
    while (true) {
        count += static_cast<long>(done / 2);
        if (status == MPG123_ERR || status == MPG123_NEED_MORE) break;
        status = mpg123_decode(handle, nullptr, 0, out.data(), out.size(), &done);
    }
    const bool failed = status == MPG123_ERR;
    mpg123_delete(handle);
    return failed ? -1 : count;
}

// Ogg Opus through libopusfile: the number of samples at 48 kHz.
long opus_samples(const std::string& bytes) {
    int error = 0;
    OggOpusFile* file =
        op_open_memory(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &error);
    if (!file) return -1;
    long count = 0;
    std::vector<opus_int16> out(5760);
    int read = 0;
    while ((read = op_read(file, out.data(), static_cast<int>(out.size()), nullptr)) > 0)
        count += read;
    op_free(file);
    return read < 0 ? -1 : count;
}

// FLAC through libFLAC: the samples, or nothing when it does not decode.
std::optional<std::vector<std::int16_t>> flac_samples(const std::string& bytes) {
    struct State {
        const std::string& bytes;
        std::size_t at = 0;
        std::vector<std::int16_t> samples;
        bool bad = false;
    } state{bytes, 0, {}, false};
    const auto read = [](const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* size,
                         void* data) {
        auto& s = *static_cast<State*>(data);
        if (s.at >= s.bytes.size()) {
            *size = 0;
            return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
        }
        *size = std::min(*size, s.bytes.size() - s.at);
        std::memcpy(buffer, s.bytes.data() + s.at, *size);
        s.at += *size;
        return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    };
    const auto write = [](const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                          const FLAC__int32* const buffer[], void* data) {
        auto& s = *static_cast<State*>(data);
        for (unsigned i = 0; i < frame->header.blocksize; ++i)
            s.samples.push_back(static_cast<std::int16_t>(buffer[0][i]));
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    };
    const auto error = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
        static_cast<State*>(data)->bad = true;
    };
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    FLAC__stream_decoder_init_stream(decoder, read, nullptr, nullptr, nullptr, nullptr, write,
                                     nullptr, error, &state);
    const bool done = FLAC__stream_decoder_process_until_end_of_stream(decoder);
    FLAC__stream_decoder_delete(decoder);
    if (!done || state.bad) return std::nullopt;
    return state.samples;
}

// sint-http with its own port, in front of the server of `folder` (which it
// starts from `server_path` when none answers).
class GatewayProcess {
public:
    GatewayProcess(const test::ProgramFolder& folder, const std::string& server_path,
                   std::vector<std::string> extra = {})
        : port_(free_loopback_port()) {
        std::vector<std::string> args = {std::string(SINT_PROGRAM_DIR) + "/sint-http",
                                         "--port",
                                         std::to_string(port_),
                                         "--server-port",
                                         std::to_string(folder.port()),
                                         "--server",
                                         server_path};
        args.insert(args.end(), extra.begin(), extra.end());
        const std::string log = folder.file("sint-http.log");
        pid_ = fork();
        if (pid_ == 0) {
            std::freopen(log.c_str(), "a", stderr);
            std::vector<char*> argv;
            for (std::string& arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        test::poll_until([this] { return client().Get("/api/voices") != nullptr; }, 10000);
    }
    ~GatewayProcess() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    std::uint16_t port() const { return port_; }
    httplib::Client client() const {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(60, 0);
        return client;
    }

private:
    std::uint16_t port_;
    pid_t pid_ = -1;
};

// The Node clients' folder in the build tree with the packages of their lock
// file (npm ci, once per lock file); empty when Node or npm is lacking or the
// packages cannot be installed.
std::string node_clients() {
    static const std::string folder = []() -> std::string {
        namespace fs = std::filesystem;
        if (std::system("command -v node >/dev/null && command -v npm >/dev/null") != 0) return {};
        const fs::path source = SINT_HTTP_JS_SOURCE_DIR, work = SINT_HTTP_JS_WORK_DIR;
        fs::create_directories(work);
        for (const char* name :
             {"package.json", "package-lock.json", "openai_client.mjs", "browser_page.mjs"})
            fs::copy_file(source / name, work / name, fs::copy_options::overwrite_existing);
        const auto text = [](const fs::path& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        const fs::path stamp = work / "node_modules" / ".installed-lock";
        if (!fs::exists(stamp) || text(stamp) != text(work / "package-lock.json")) {
            const std::string install = "cd '" + work.string() +
                                        "' && npm ci --no-audit --no-fund --loglevel=error "
                                        ">npm.log 2>&1";
            if (std::system(install.c_str()) != 0) return {};
            fs::copy_file(work / "package-lock.json", stamp, fs::copy_options::overwrite_existing);
        }
        return work.string();
    }();
    return folder;
}

// What a Node program of that folder printed last (one JSON object), or
// nothing when it failed.
std::optional<nlohmann::json> run_node(const std::string& folder, const std::string& arguments) {
    const std::string command = "cd '" + folder + "' && node " + arguments + " 2>node.log";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) output = buffer;
    if (pclose(pipe) != 0) return std::nullopt;
    auto json = nlohmann::json::parse(output, nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    return json;
}

class SintHttpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new test::ProgramFolder;
        // No pitch jitter, so that the same text gives the same audio every time.
        std::string profile = folder_->read("mikro.ini");
        const std::string jitter_row = "0 100 100 80 85 0 1 0 0 0";
        if (const auto at = profile.find(jitter_row); at != std::string::npos)
            profile.replace(at, jitter_row.size(), "0 100 100 80 85 0 0 0 0 0");
        std::ofstream(folder_->file("mikro.ini"), std::ios::binary) << profile;
        // The server runs before the gateway asks it; the one test that ends
        // it has the gateway start another.
        server_ = new test::ServerProcess(*folder_, {"-pocasi", "-ram"});
        ProtocolConnection probe;
        test::connect_ready(probe, folder_->port(), 10000, server_);
        gateway_ = new GatewayProcess(*folder_, folder_->file("sintsrv"));
    }
    static void TearDownTestSuite() {
        delete gateway_;
        ProtocolConnection last;
        if (test::connect_ready(last, folder_->port(), 2000))
            last.send_request(command_request("TERMINATE"));
        last.close();
        delete server_;
        delete folder_;
    }
    static int health() {
        const auto reply = gateway_->client().Get("/health");
        return reply ? reply->status : -1;
    }

    // The reply to a speech request, the status and body checked.
    static std::string speech(const nlohmann::json& body, int status = 200) {
        auto reply = gateway_->client().Post("/v1/audio/speech", body.dump(), "application/json");
        if (!reply) {
            ADD_FAILURE() << "no reply to " << body.dump();
            return {};
        }
        EXPECT_EQ(reply->status, status) << body.dump() << ": " << reply->body;
        return reply->body;
    }

    static test::ProgramFolder* folder_;
    static test::ServerProcess* server_;
    static GatewayProcess* gateway_;
};

test::ProgramFolder* SintHttpTest::folder_ = nullptr;
test::ServerProcess* SintHttpTest::server_ = nullptr;
GatewayProcess* SintHttpTest::gateway_ = nullptr;

TEST_F(SintHttpTest, EveryFormatDecodesToTheLengthOfTheSamples) {
    const std::vector<std::int16_t> pcm =
        samples_of(speech({{"input", kText}, {"response_format", "pcm"}}));
    ASSERT_GT(pcm.size(), 16000u / 4);
    const long length = static_cast<long>(pcm.size());

    const std::string wav = speech({{"input", kText}, {"response_format", "wav"}});
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(4, 4), std::string(4, '\xFF')) << "a size that allows streaming";
    EXPECT_EQ(samples_of(std::string_view(wav).substr(44)), pcm);

    const auto flac = flac_samples(speech({{"input", kText}, {"response_format", "flac"}}));
    ASSERT_TRUE(flac.has_value());
    EXPECT_EQ(*flac, pcm) << "FLAC is lossless";

    // MP3 (the default) adds the encoder's delay and pads the last frame of 576 samples.
    const long mp3 = mp3_samples(speech({{"input", kText}, {"model", "tts-1"}}));
    EXPECT_GE(mp3, length);
    EXPECT_LE(mp3, length + 3 * 576);
    // Opus is decoded at 48 kHz, trimmed to the encoded length by its granule positions.
    EXPECT_NEAR(opus_samples(speech({{"input", kText}, {"response_format", "opus"}})), 3 * length,
                3 * 16);
}

TEST_F(SintHttpTest, AudioIsChunkedAndTheGetFormMatchesThePost) {
    auto reply = gateway_->client().Get("/api/tts?text=Mama%20ima%20kis.&format=wav");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->get_header_value("Transfer-Encoding"), "chunked");
    EXPECT_EQ(reply->get_header_value("Content-Type"), "audio/wav");
    EXPECT_EQ(reply->body, speech({{"input", "Mama ima kis."}, {"response_format", "wav"}}));
    EXPECT_FALSE(reply->has_header("Access-Control-Allow-Origin")) << "CORS is off by default";
}

TEST_F(SintHttpTest, SpeedAndSsmlChangeTheLength) {
    const auto length = [](const nlohmann::json& body) {
        nlohmann::json pcm = body;
        pcm["response_format"] = "pcm";
        return static_cast<double>(speech(pcm).size() / 2);
    };
    const double normal = length({{"input", kText}});
    EXPECT_NEAR(length({{"input", kText}, {"speed", 2.0}}) / normal, 0.5, 0.15);
    EXPECT_NEAR(length({{"input", kText}, {"speed", 0.5}}) / normal, 2.0, 0.5);
    // SSML: a pause of a second, and a slower stretch.
    const double paused = length({{"input",
                                   "<speak>Mama ima kis. <break time=\"1s\"/>"
                                   "Mama ima kis.</speak>"}});
    EXPECT_NEAR(paused - normal, 16000, 4000);
    const double slow = length(
        {{"input", "<speak><prosody rate=\"50%\">Mama ima kis. Mama ima kis.</prosody></speak>"}});
    EXPECT_GT(slow / normal, 1.5);
    // The GET form's rate is the TEMPO scale: +10 is three times as fast.
    auto fast = gateway_->client().Get(
        "/api/tts?format=pcm&rate=10&text=Mama%20ima%20kis.%20Mama%20ima%20kis.");
    ASSERT_TRUE(fast);
    EXPECT_NEAR(static_cast<double>(fast->body.size() / 2) / normal, 1 / 3.0, 0.15);
}

TEST_F(SintHttpTest, BadRequestsGetTheirStatusAndAJsonError) {
    struct Case {
        const char* method;
        std::string path;
        std::string body;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"POST", "/v1/audio/speech", "{\"input\": \"Mama", 400, "not valid JSON"},
        {"POST", "/v1/audio/speech", "[1, 2]", 400, "JSON object"},
        {"POST", "/v1/audio/speech", "{}", 400, "'input' is required"},
        {"POST", "/v1/audio/speech", "{\"input\": \"  \"}", 400, "empty"},
        {"POST", "/v1/audio/speech", R"({"input": "a", "response_format": "aac"})", 400,
         "supported: mp3, opus, flac, wav, pcm"},
        {"POST", "/v1/audio/speech", R"({"input": "a", "speed": 5})", 400, "0.25 to 4"},
        {"POST", "/v1/audio/speech", R"({"input": "a", "speed": "fast"})", 400, "number"},
        {"POST", "/v1/audio/speech", R"({"input": "<speak>a <b></speak>"})", 400,
         "not well-formed"},
        {"POST", "/v1/audio/speech", std::string(2 * 1024 * 1024, ' '), 413, "larger than"},
        {"GET", "/api/tts", "", 400, "'text' is required"},
        {"GET", "/api/tts?text=a&format=ogg", "", 400, "supported: mp3"},
        {"GET", "/api/tts?text=a&rate=11", "", 400, "-10 to 10"},
        {"GET", "/api/tts?text=a&volume=x", "", 400, "1 to 100"},
        {"GET", "/api/tts?text=a&speed=0.1", "", 400, "0.25 to 4"},
        {"GET", "/v1/audio/speech", "", 405, "use POST"},
        {"POST", "/api/tts", "x", 405, "use GET"},
        {"DELETE", "/health", "", 405, "use GET"},
        {"GET", "/sint.ini", "", 404, "no such path"},
        {"GET", "/../../etc/passwd", "", 404, "no such path"},
        {"GET", "/index.html", "", 404, "no such path"},
    };
    for (const Case& c : cases) {
        auto client = gateway_->client();
        const std::string method = c.method;
        const auto reply = method == "GET"    ? client.Get(c.path)
                           : method == "POST" ? client.Post(c.path, c.body, "application/json")
                                              : client.Delete(c.path);
        ASSERT_TRUE(reply) << c.path;
        EXPECT_EQ(reply->status, c.status) << c.path << " " << c.body.substr(0, 60);
        const auto json = nlohmann::json::parse(reply->body, nullptr, false);
        ASSERT_TRUE(json.contains("error")) << reply->body;
        EXPECT_TRUE(json["error"]["type"].is_string());
        EXPECT_NE(json["error"]["message"].get<std::string>().find(c.says), std::string::npos)
            << json.dump();
    }
}

TEST_F(SintHttpTest, ThePageVoicesAndHealthAnswer) {
    auto client = gateway_->client();
    const auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    for (const char* part : {"<html lang=\"sl\">", "<label for=\"text\">", "<textarea id=\"text\"",
                             "<label for=\"rate\">", "<audio id=\"player\" controls",
                             "aria-live=\"polite\"", "<button type=\"submit\""})
        EXPECT_NE(page->body.find(part), std::string::npos) << part;
    EXPECT_EQ(page->body.find("http"), std::string::npos) << "nothing is loaded from elsewhere";
    const auto voices = client.Get("/api/voices");
    ASSERT_TRUE(voices);
    EXPECT_EQ(nlohmann::json::parse(voices->body)["voices"][0]["language"], "sl");
    const auto health = client.Get("/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
}

TEST_F(SintHttpTest, FortyClientsAtOnceGetTheSameAudio) {
    const std::string expected = speech({{"input", kText}, {"response_format", "wav"}});
    constexpr int kClients = 40;
    std::atomic<int> same{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&] {
            const auto reply = gateway_->client().Post(
                "/v1/audio/speech",
                R"({"input": "Mama ima kis. Mama ima kis.", "response_format": "wav"})",
                "application/json");
            if (reply && reply->status == 200 && reply->body == expected)
                ++same;
            else
                ADD_FAILURE() << (reply ? std::to_string(reply->status) + " " +
                                              reply->body.substr(0, 200) + " " +
                                              std::to_string(reply->body.size())
                                        : httplib::to_string(reply.error()));
        });
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(same, kClients) << folder_->read("sint-http.log");
}

TEST_F(SintHttpTest, TheOpenAiClientFromNpmSpeaksEveryFormat) {
    const std::string folder = node_clients();
    if (folder.empty()) SINT_LACKING("Node.js, npm or the npm packages of tests/tools/http_js");
    const std::size_t pcm = speech({{"input", kText}, {"response_format", "pcm"}}).size();
    const auto result = run_node(
        folder, "openai_client.mjs " + std::to_string(gateway_->port()) + " '" + kText + "'");
    ASSERT_TRUE(result) << "see " << folder << "/node.log";
    const nlohmann::json& formats = (*result)["formats"];
    EXPECT_EQ(formats["pcm"]["bytes"], pcm);
    EXPECT_EQ(formats["wav"]["bytes"], pcm + 44);
    EXPECT_EQ(formats["wav"]["head"], "RIFF");
    EXPECT_EQ(formats["flac"]["head"], "fLaC");
    EXPECT_EQ(formats["opus"]["head"], "OggS");
    EXPECT_GT(formats["mp3"]["bytes"], 1000);
    EXPECT_NEAR((*result)["fast_pcm_bytes"].get<double>() / static_cast<double>(pcm), 0.5, 0.15);
    EXPECT_EQ((*result)["error"]["status"], 400);
    EXPECT_NE((*result)["error"]["message"].get<std::string>().find("supported"),
              std::string::npos);
}

TEST_F(SintHttpTest, ThePageSpeaksInHeadlessChromiumByKeyboard) {
    const std::string folder = node_clients();
    if (folder.empty()) SINT_LACKING("Node.js, npm or the npm packages of tests/tools/http_js");
    if (std::system("test -x /usr/bin/chromium") != 0) SINT_LACKING("Debian's chromium");
    const std::string text = "Dober dan. Kako ste?";
    const std::size_t wav = speech({{"input", text}, {"response_format", "wav"}}).size();
    const std::string screenshot = folder + "/sint-http-page.png";
    const auto result = run_node(folder, "browser_page.mjs " + std::to_string(gateway_->port()) +
                                             " '" + text + "' " + screenshot);
    ASSERT_TRUE(result) << "see " << folder << "/node.log";
    EXPECT_TRUE((*result)["reached_button"]) << "Tab reaches the button";
    EXPECT_EQ((*result)["bytes"], wav) << "the player holds the whole speech";
    EXPECT_NEAR((*result)["duration"].get<double>(), (wav - 44) / 2 / 16000.0, 0.05);
    EXPECT_TRUE((*result)["download"]) << "the download link is the player's audio";
    EXPECT_TRUE((*result)["outside"].empty()) << (*result)["outside"].dump();
    const auto names = (*result)["names"].get<std::vector<std::string>>();
    for (const char* name : {"textbox:Besedilo", "slider:Hitrost govora", "slider:Višina glasu",
                             "slider:Glasnost", "button:Izgovori"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end())
            << name << " in " << (*result)["names"].dump();
    EXPECT_TRUE(std::filesystem::exists(screenshot));
}

// A raw connection to the gateway, for clients no library would be.
int raw_connection(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// What the gateway says on `fd` within `ms`, up to its end.
std::string raw_reply(int fd, int ms) {
    std::string reply;
    char buffer[4096];
    pollfd wait{fd, POLLIN, 0};
    while (poll(&wait, 1, ms) > 0) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
}

TEST_F(SintHttpTest, FloodsAndSlowClientsAreDroppedWithoutStallingOthers) {
    const std::uint16_t port = gateway_->port();
    // More slow clients than the gateway has workers: heads sent a byte at a
    // time, and a body that stops short of its length.
    std::vector<int> slow;
    for (int i = 0; i < 60; ++i) slow.push_back(raw_connection(port));
    const std::string short_body =
        "POST /v1/audio/speech HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{\"input\"";
    send(slow[0], short_body.data(), short_body.size(), MSG_NOSIGNAL);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> dripping{true};
    std::thread drip([&] {
        const std::string head = "GET /health HTTP/1.1\r\nX-Slow: ";
        for (std::size_t at = 0; dripping; at = (at + 1) % head.size()) {
            for (std::size_t i = 1; i < slow.size(); ++i) send(slow[i], &head[at], 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    // Others are served meanwhile.
    EXPECT_FALSE(speech({{"input", kText}, {"response_format", "pcm"}}).empty());
    EXPECT_EQ(health(), 200);
    // A flood of headers ends in 431 as soon as it passes the limit.
    const int flood = raw_connection(port);
    std::string head = "GET /health HTTP/1.1\r\n";
    while (head.size() < 64 * 1024) head += "X-Flood: " + std::string(100, 'a') + "\r\n";
    send(flood, head.data(), head.size(), MSG_NOSIGNAL);
    EXPECT_EQ(raw_reply(flood, 5000).substr(0, 12), "HTTP/1.1 431");
    close(flood);
    // The slow ones get 408 when their time is up; the short body, whose head
    // was whole, 400 when the server behind stops waiting for the rest.
    for (const int fd : slow) {
        const std::string reply = raw_reply(fd, 15000);
        EXPECT_EQ(reply.substr(0, 12), fd == slow[0] ? "HTTP/1.1 400" : "HTTP/1.1 408") << reply;
        EXPECT_NE(reply.find("\"error\""), std::string::npos);
    }
    // The dripping thread still writes to these sockets: stop it before they
    // are closed, or a closed number could be reused under it.
    dripping = false;
    drip.join();
    for (const int fd : slow) close(fd);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

TEST_F(SintHttpTest, AServerThatIsGoneIsStartedAgainOrNamedIn503) {
    ProtocolConnection connection;
    ASSERT_TRUE(test::connect_ready(connection, folder_->port(), 10000));
    connection.send_request(command_request("TERMINATE"));
    connection.close();
    ASSERT_TRUE(test::poll_until([] { return health() == 503; }, 10000));
    // A gateway that cannot start one says so.
    {
        GatewayProcess lost(*folder_, folder_->file("no-such-sintsrv"));
        const auto reply =
            lost.client().Post("/v1/audio/speech", R"({"input": "Mama."})", "application/json");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 503);
        EXPECT_NE(reply->body.find("no-such-sintsrv"), std::string::npos) << reply->body;
    }
    // The next request starts the server again.
    EXPECT_EQ(speech({{"input", kText}, {"response_format", "pcm"}}).empty(), false);
    EXPECT_EQ(health(), 200);
}

}  // namespace
}  // namespace sint
