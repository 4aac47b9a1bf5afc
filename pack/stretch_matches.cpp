#include "pack/stretch_matches.h"

#include "pack/token.h"

namespace qarn {
namespace {

// Progress is published every so many positions: often enough that a parser waiting for
// the next position waits little, seldom enough that the publishing costs nothing.
constexpr uint32_t kPublishEvery = 64;

}  // namespace

void find_stretch_matches(const FindJob& job, Match* found) {
    StretchMatches& out = *job.out;
    uint32_t skip_until = 0;
    uint32_t stored = 0;
    for (uint32_t i = 0; i < job.count; ++i) {
        if (i % kPublishEvery == 0 && i != 0) {
            out.ready.store(i);
        }
        out.count[i] = 0;
        out.start[i] = stored;
        const uint32_t p = job.pos + i;
        // Inside a match long enough to be taken whole, searching again only costs time,
        // and so does indexing: the match's earlier copy is indexed already.
        if (i < skip_until) {
            job.finder->skip_up_to(p + 1);
            continue;
        }
        const uint32_t room = job.match_end - p;
        const uint32_t max_length = room < kMaxMatch ? room : kMaxMatch;
        if (max_length < 2) continue;
        const uint32_t n = job.finder->find(job.buf, p, job.data_end, max_length, job.lowest, found);
        const uint32_t first = n > kCachedMatches ? n - kCachedMatches : 0;
        Match* to = out.matches.get() + stored;
        for (uint32_t k = first; k < n; ++k) *to++ = found[k];
        out.count[i] = static_cast<uint8_t>(n - first);
        stored += n - first;
        if (n != 0 && found[n - 1].length >= job.nice_length) skip_until = i + found[n - 1].length;
    }
    out.ready.store(job.count);
}

}  // namespace qarn
