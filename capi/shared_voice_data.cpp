#include "capi/shared_voice_data.h"

#include <exception>
#include <map>
#include <mutex>

namespace sint {

std::shared_ptr<const SharedVoiceData> SharedVoiceData::load(const SynthesiserOptions& options,
                                                             std::string& error) {
    std::shared_ptr<SharedVoiceData> data(new SharedVoiceData(options));
    try {
        if (data->owner_.init() != 0) {
            error = "the synthesiser did not start";
            return nullptr;
        }
    } catch (const std::exception& e) {
        // The stages throw with their class name and the cause.
        error = std::string("the voice's profiles did not load: ") + e.what();
        return nullptr;
    }
    if (!data->owner_.wave_init_fast()) {
        error = "the packed wave database " + options.wave.work_dir +
                "data/MorvenaIdra.dat did not load";
        return nullptr;
    }
    return data;
}

std::shared_ptr<const SharedVoiceData> SharedVoiceData::of_folder(const std::string& folder,
                                                                  const SynthesiserOptions& options,
                                                                  std::string& error) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<const SharedVoiceData>> loaded;
    // Loading under the lock: a second voice on the folder waits for the first
    // one's data rather than loading them twice.
    const std::lock_guard lock(mutex);
    std::erase_if(loaded, [](const auto& entry) { return entry.second.expired(); });
    if (auto found = loaded[folder].lock()) return found;
    auto data = load(options, error);
    if (data) loaded[folder] = data;
    return data;
}

SharedVoiceData::~SharedVoiceData() {
    owner_.wave_free();
    owner_.free();
}

}  // namespace sint
