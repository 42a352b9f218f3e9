#include "tools/sint-http/gateway.h"

#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "tools/sint-http/front_door.h"
#include "tools/sint-http/speech_request.h"
#include "tools/sint-http/web_page.h"
#include "tools/ssml/plan_speaker.h"

namespace sint {
namespace {

constexpr const char* kJsonType = "application/json";

// The paths the gateway serves, with the one method each takes.
struct Route {
    const char* path;
    const char* method;
};
constexpr Route kRoutes[] = {{"/", "GET"},
                             {"/v1/audio/speech", "POST"},
                             {"/api/tts", "GET"},
                             {"/api/voices", "GET"},
                             {"/health", "GET"}};

void send_error(httplib::Response& response, int status, const std::string& message,
                const char* type = "invalid_request_error") {
    const nlohmann::json body = {{"error", {{"message", message}, {"type", type}}}};
    response.status = status;
    response.set_content(body.dump(), kJsonType);
}

// Hands each piece of audio to the encoder and its bytes to the HTTP stream;
// ends the speech when the client has gone.
class StreamListener : public PlanListener {
public:
    StreamListener(AudioEncoder& encoder, httplib::DataSink& sink)
        : encoder_(encoder), sink_(sink) {}
    bool audio(std::span<const std::int16_t> samples) override {
        return encoder_.encode(samples, bytes_) && flush();
    }
    bool mark(const std::string&) override { return true; }
    bool finish() { return encoder_.finish(bytes_) && flush(); }

private:
    bool flush() {
        if (bytes_.empty()) return true;
        const bool written = sink_.is_writable() && sink_.write(bytes_.data(), bytes_.size());
        bytes_.clear();
        return written;
    }
    AudioEncoder& encoder_;
    httplib::DataSink& sink_;
    std::string bytes_;
};

// Ends the process on SIGTERM, SIGINT or SIGHUP, taking the socket `backend`
// and its `folder` away first. The signals are blocked in every thread and
// taken by one thread of their own.
void end_with_signals(const std::string& folder, const std::string& backend) {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    std::thread([ending, folder, backend] {
        int signal = 0;
        sigwait(&ending, &signal);
        ::unlink(backend.c_str());
        ::rmdir(folder.c_str());
        std::_Exit(0);
    }).detach();
}

class Gateway {
public:
    explicit Gateway(const GatewayOptions& options) : options_(options) {}

    bool run(std::string& error);

private:
    void speak(const SpeechRequest& request, httplib::Response& response);
    // A client with a ready server, starting it when none answers; nothing
    // with `error` set when there is none.
    std::unique_ptr<SayClient> reach_server(std::string& error);
    bool server_answers();
    void set_routes();

    GatewayOptions options_;
    httplib::Server http_;
    // One request at a time starts the server; the others then find it.
    std::mutex start_mutex_;
};

std::unique_ptr<SayClient> Gateway::reach_server(std::string& error) {
    auto client = std::make_unique<SayClient>(options_.server);
    // Under the lock, so that requests arriving while no server answers start
    // one between them; with a server up it costs one TEST round trip.
    std::lock_guard lock(start_mutex_);
    if (client->open(error)) return client;
    return nullptr;
}

bool Gateway::server_answers() {
    ProtocolConnection connection;
    const std::string& host = options_.server.host;
    if (!connection.connect(host == "localhost" ? "127.0.0.1" : host, options_.server.port))
        return false;
    if (!connection.send_request(command_request("TEST"))) return false;
    const auto reply = connection.wait_for(ReplyType::Ok, kHealthWaitMs);
    return reply.has_value();
}

void Gateway::speak(const SpeechRequest& request, httplib::Response& response) {
    std::string error;
    auto plan = std::make_shared<std::vector<PlanItem>>(plan_request(request, error));
    if (!error.empty()) return send_error(response, 400, error);
    std::shared_ptr<AudioEncoder> encoder = make_encoder(request.format);
    if (!encoder) return send_error(response, 500, "the audio encoder failed", "server_error");
    std::shared_ptr<SayClient> client = reach_server(error);
    if (!client)
        return send_error(response, 503, "the synthesis server is not available: " + error,
                          "server_error");
    response.set_chunked_content_provider(
        content_type(request.format),
        [plan, encoder, client](std::size_t, httplib::DataSink& sink) {
            const auto end = std::chrono::steady_clock::now() + kHttpSpeechTimeMax;
            StreamListener listener(*encoder, sink);
            PlanSpeaker speaker(
                client->connection(), [end] { return std::chrono::steady_clock::now() > end; },
                kReplyTimeoutMs);
            // A server lost on the way, or a client gone, breaks the stream off
            // (returning false), so that nobody takes a cut answer for a whole one.
            const SpeakOutcome outcome = speaker.speak(*plan, listener);
            if (outcome == SpeakOutcome::LostServer)
                std::fprintf(stderr, "sint-http: the synthesis server broke off a reply\n");
            if (outcome != SpeakOutcome::Done || !listener.finish()) return false;
            sink.done();
            return true;
        });
}

void Gateway::set_routes() {
    http_.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(web_page()), "text/html; charset=utf-8");
    });
    http_.Post("/v1/audio/speech",
               [this](const httplib::Request& request, httplib::Response& response) {
                   const ParsedRequest parsed = parse_openai_request(request.body);
                   if (const auto* error = std::get_if<RequestError>(&parsed))
                       return send_error(response, 400, error->message);
                   speak(std::get<SpeechRequest>(parsed), response);
               });
    http_.Get("/api/tts", [this](const httplib::Request& request, httplib::Response& response) {
        const ParsedRequest parsed = parse_query_request(request.params);
        if (const auto* error = std::get_if<RequestError>(&parsed))
            return send_error(response, 400, error->message);
        speak(std::get<SpeechRequest>(parsed), response);
    });
    http_.Get("/api/voices", [](const httplib::Request&, httplib::Response& response) {
        const nlohmann::json body = {
            {"voices", {{{"id", "sint"}, {"name", "sint"}, {"language", "sl"}}}}};
        response.set_content(body.dump(), kJsonType);
    });
    http_.Get("/health", [this](const httplib::Request&, httplib::Response& response) {
        if (server_answers())
            response.set_content(R"({"status":"ok"})", kJsonType);
        else
            send_error(response, 503, "the synthesis server does not answer", "server_error");
    });
    // Everything else: 405 on a known path, 404 on any other; no path names a file.
    const auto refuse = [](const httplib::Request& request, httplib::Response& response) {
        for (const Route& route : kRoutes) {
            if (request.path != route.path) continue;
            response.set_header("Allow", route.method);
            return send_error(
                response, 405,
                request.method + " is not allowed on " + request.path + "; use " + route.method);
        }
        send_error(response, 404, "no such path: " + request.path);
    };
    http_.Get(".*", refuse);
    http_.Post(".*", refuse);
    http_.Put(".*", refuse);
    http_.Patch(".*", refuse);
    http_.Delete(".*", refuse);
    http_.Options(".*",
                  [this, refuse](const httplib::Request& request, httplib::Response& response) {
                      if (options_.cors_origin.empty()) return refuse(request, response);
                      response.status = 204;
                  });
    // The library's own refusals (413, 414, 400) get the same JSON shape.
    http_.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return;
        const int status = response.status;
        send_error(
            response, status,
            status == 413
                ? "the request body is larger than " + std::to_string(kHttpBodyMax) + " bytes"
                : "the request cannot be served (HTTP " + std::to_string(status) + ")");
    });
    if (!options_.cors_origin.empty()) {
        http_.set_post_routing_handler(
            [this](const httplib::Request&, httplib::Response& response) {
                response.set_header("Access-Control-Allow-Origin", options_.cors_origin);
                response.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
                response.set_header("Access-Control-Allow-Headers", "Content-Type, Authorization");
            });
    }
}

bool Gateway::run(std::string& error) {
    FrontDoor front;
    if (!front.open(options_.host, options_.port, kHttpListenBacklog, error)) return false;
    // The HTTP server itself listens on a UNIX socket in a folder only this
    // user may enter, reached through the front door alone.
    const char* temp = std::getenv("TMPDIR");
    std::string folder = std::string(temp && *temp ? temp : "/tmp") + "/sint-http-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        error = "cannot make a folder in " + folder.substr(0, folder.rfind('/'));
        return false;
    }
    const std::string backend = folder + "/http.sock";
    end_with_signals(folder, backend);

    http_.set_address_family(AF_UNIX);
    http_.new_task_queue = [] { return new httplib::ThreadPool(kHttpWorkers); };
    http_.set_payload_max_length(kHttpBodyMax);
    http_.set_read_timeout(kHttpIoTimeoutS, 0);
    http_.set_write_timeout(kHttpIoTimeoutS, 0);
    // One request a connection, so that every request passes the front door.
    http_.set_keep_alive_max_count(1);
    set_routes();
    int listening = -1;
    http_.set_socket_options([&listening](int socket) { listening = socket; });
    // The port means nothing for a UNIX socket, but must not be 0 (any port).
    if (!http_.bind_to_port(backend, 80)) {
        error = "cannot listen on " + backend;
        return false;
    }
    // The library listens with a backlog of 5; listening again only widens it.
    if (listening >= 0) ::listen(listening, kHttpListenBacklog);
    std::thread server([this] { http_.listen_after_bind(); });
    server.detach();
    front.run(backend);
    return true;
}

}  // namespace

bool run_gateway(const GatewayOptions& options, std::string& error) {
    Gateway gateway(options);
    return gateway.run(error);
}

}  // namespace sint
