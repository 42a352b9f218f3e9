#include "core/log.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace sint {
namespace {

std::mutex g_log_mutex;  // guards the path, the last error and the file appends
std::string g_log_path = "sint.log";
std::atomic<bool> g_log_disabled{true};
std::string g_last_error;
std::atomic<bool> g_error_flag{false};
std::mutex g_listener_mutex;  // guards the listener; held while it runs
ErrorListener g_error_listener;

const std::string kStars(63, '*');

std::string cut(std::string_view text, std::size_t max) {
    return std::string(text.substr(0, std::min(text.size(), max)));
}

}  // namespace

void set_log_disabled(bool disabled) {
    g_log_disabled = disabled;
}
bool log_disabled() {
    return g_log_disabled;
}

void set_log_path(std::string_view path) {
    std::lock_guard lock(g_log_mutex);
    g_log_path = cut(path, kLogPathMax);
}

std::string log_path() {
    std::lock_guard lock(g_log_mutex);
    return g_log_path;
}

std::string log_timestamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", local.tm_mday,
                  local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec);
    return text;
}

void log_write(std::string_view message) {
    if (g_log_disabled) return;
    std::string entry;
    entry.reserve(message.size() + 32);
    entry.push_back('[');
    entry.append(log_timestamp());
    entry.push_back(']');
    entry.append(message);
    entry.push_back('\n');
    std::lock_guard lock(g_log_mutex);
    std::FILE* file = std::fopen(g_log_path.c_str(), "a");
    if (!file) return;
    std::fwrite(entry.data(), 1, entry.size(), file);
    std::fclose(file);
}

void log_write_text(std::string_view text) {
    log_write(text);
}

int report_error(std::string_view message) {
    {
        std::lock_guard lock(g_log_mutex);
        g_error_flag = true;
        g_last_error = cut(message, kLastErrorMax);
    }
    log_write(message);
    std::lock_guard lock(g_listener_mutex);
    if (g_error_listener) g_error_listener(message);
    return 0;
}

void set_error_listener(ErrorListener listener) {
    std::lock_guard lock(g_listener_mutex);
    g_error_listener = std::move(listener);
}

int report_error_text(std::string_view text) {
    return report_error(text);
}

void clear_error() {
    g_error_flag = false;
}
bool error_flag() {
    return g_error_flag;
}

std::string last_error() {
    std::lock_guard lock(g_log_mutex);
    return g_last_error;
}

void log_start_banner() {
    log_write("\r\n" + kStars + "\r\nSint launched\r\n" + kStars + "\r\n\r\n");
}

void log_stop_banner() {
    log_write("");
    log_write("\r\n" + kStars + "\r\nSint stopped\r\n" + kStars + "\r\n");
}

}  // namespace sint
