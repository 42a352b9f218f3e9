// Unit selection: covers the target phone string with the longest continuous
// stretches of the recordings, cutting a stretch early where a cheaper join
// lets the next one reach further.
#include <algorithm>
#include <cstdio>

#include "core/log.h"
#include "waveform/table_sint.h"

namespace sint {

namespace {

// Longest match of the target from `pos` at any occurrence of the triphone
// there; `best` is the first occurrence with that length. 0 when none.
std::int32_t longest_match(const TTableSint& db, const std::vector<std::uint8_t>& target,
                           std::size_t pos, std::int32_t& best) {
    const std::size_t length = target.size();
    if (pos + 2 >= length) return 0;
    const TriphoneEntry* entry = db.find_triphone(target[pos], target[pos + 1], target[pos + 2]);
    if (!entry) return 0;
    const auto& data = db.data();
    const std::size_t n = static_cast<std::size_t>(db.alophone_count());
    std::int32_t longest = 0;
    for (std::int32_t o : entry->list) {
        std::size_t match = 3;
        while (pos + match < length && o + match < n && data[o + match] == target[pos + match])
            ++match;
        if (static_cast<std::int32_t>(match) > longest) {
            longest = static_cast<std::int32_t>(match);
            best = o;
        }
    }
    return longest;
}

}  // namespace

std::vector<Segment> TTableSint::make_sentence(const std::vector<std::uint8_t>& target) const {
    std::vector<Segment> segments;
    const auto length = static_cast<std::int32_t>(target.size());
    auto cost = [&](std::int32_t pos) { return join_cost(target[pos]); };
    std::int32_t p = 0;
    while (p < length) {
        std::int32_t occurrence = 0;
        std::int32_t n = longest_match(*this, target, p, occurrence);
        if (n > 0) {
            // Cut search: a segment is cut after its cheapest phone when the
            // segment starting there reaches further and the joins cost no more.
            std::int32_t i = 0;
            while (i < n) {
                std::int32_t a = i;
                for (std::int32_t k = i; k < n; ++k)
                    if (cost(p + k) <= cost(p + a)) a = k;
                if (a == n - 1) break;
                std::int32_t unused = 0;
                const std::int32_t m = longest_match(*this, target, p + a, unused);
                if (m > n - a) {
                    int q1 = cost(p + n);
                    for (std::int32_t k = p + n; k < p + a + m; ++k) q1 = std::min(q1, cost(k));
                    const int q2 = cost(p + a);
                    if (cost(p + n - 1) >= q1 + q2) {
                        n = a + 1;
                        break;
                    }
                }
                i = a + 1;
            }
            segments.push_back({occurrence, n, p});
            // A segment that reaches the end of the target covers it.
            if (p + n >= length) break;
            p += std::max(n - 1, 1);
            continue;
        }
        if (p + 1 < length) {
            const DiphoneEntry* d = find_diphone(target[p], target[p + 1]);
            if (d && !d->list.empty()) {
                segments.push_back({d->list.front(), 2, p});
                if (p + 2 >= length) break;
                ++p;
                continue;
            }
        }
        const AlophoneEntry* a = find_alophone(target[p]);
        if (a && !a->list.empty()) {
            segments.push_back({a->list.front(), 1, p});
        } else {
            char message[96];
            std::snprintf(message, sizeof message,
                          "Error in function \"MakeSentence\". Can't find the symbol '%c'.",
                          target[p]);
            log_write(message);
        }
        ++p;
    }
    return segments;
}

}  // namespace sint
