#include "tools/sint-g2p/prosody_print.h"

#include <cstdio>

namespace sint {

namespace {

void print_records(const char* title, const ProsodyRecord* records, int count, std::ostream& out) {
    out << title << '\n' << std::string(40, '-') << '\n';
    char line[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "%s\t%ld\t%ld\n", records[i].name,
                      static_cast<long>(records[i].duration), static_cast<long>(records[i].pitch));
        out << line;
    }
}

}  // namespace

ProsodyPrinter::ProsodyPrinter(const TGFP& engine, const std::string& mikro_path,
                               const std::string& makro_path)
    : mikro_path_(mikro_path),
      makro_path_(makro_path),
      engine_phones_(engine),
      mikro_(std::make_unique<TMikro>(mikro_path, engine_phones_)),
      makro_(std::make_unique<TMakro>(makro_path, engine_phones_)) {}

bool ProsodyPrinter::check_inventory(std::ostream& warn) {
    const MikroProfile& profile = mikro_->profile();
    const auto& own = profile.phones;
    const bool same = mikro_->inventory_matches();
    if (same) return true;
    warn << "sint-g2p: the phone inventory of the text-analysis profile differs from "
            "Nabor_fonemov of the micro-prosody profile; using the latter\n";
    own_phones_ = std::make_unique<PhoneTable>(own, profile.phone_classes);
    mikro_ = std::make_unique<TMikro>(mikro_path_, *own_phones_);
    makro_ = std::make_unique<TMakro>(makro_path_, *own_phones_);
    return false;
}

bool ProsodyPrinter::print(std::string_view transcription, std::ostream& out) {
    mikro_->set_word_boundary_pause(0);
    std::string text(transcription);
    text += " .";
    if (mikro_->run(text, false) != 0) return false;
    print_records("mikro.out", mikro_->output(), mikro_->count(), out);
    if (makro_->run(mikro_->output(), mikro_->count()) != 0) return false;
    print_records("makro.out", makro_->output(), makro_->count(), out);
    return true;
}

}  // namespace sint
