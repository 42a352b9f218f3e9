// The read-only data of a voice folder, loaded once and shared by every library
// voice opened on that folder, as the server's synthesis workers share them: a
// facade that owns the wave database, the dictionaries and the statistics
// tables, from which each voice's own facade borrows them. The facade itself is
// never used to speak.
//
// The one table of loaded folders holds weak references behind a mutex: the
// data are freed with the last voice that uses them, and a folder opened again
// later is loaded again.
#pragma once

#include <memory>
#include <string>

#include "synth/facade.h"
#include "synth/synthesiser_options.h"

namespace sint {

class SharedVoiceData {
public:
    // Loads the data; nothing with `error` set when a stage or the packed wave
    // database does not load.
    static std::shared_ptr<const SharedVoiceData> load(const SynthesiserOptions& options,
                                                       std::string& error);
    // The data of `folder`, loaded by an earlier voice or now.
    static std::shared_ptr<const SharedVoiceData> of_folder(const std::string& folder,
                                                            const SynthesiserOptions& options,
                                                            std::string& error);

    ~SharedVoiceData();

    // The options of a facade that reads these data; it must share_wave_database(owner()).
    SynthesiserOptions sharing_options() const { return owner_.sharing_options(); }
    const Synthesiser& owner() const { return owner_; }

private:
    explicit SharedVoiceData(const SynthesiserOptions& options) : owner_(options) {}

    Synthesiser owner_;
};

}  // namespace sint
