#include "feed/feed_clock.h"

#include <algorithm>
#include <cmath>

namespace vrn {

namespace {
// Below this many votes the median is taken at every record; above it twice a second is enough.
constexpr std::size_t kVotesEstimatedEveryRecord = 64;
constexpr double kEstimateIntervalS = 0.5;
constexpr double kExpiryIntervalS = 1.0;
}  // namespace

void FeedClock::reset() {
    std::unordered_map<std::uint32_t, Vote>().swap(m_votes);
    std::vector<double>().swap(m_scratch);
    m_known = false;
    m_backed = false;
    m_offset = 0.0;
    m_baseShift = 0.0;
    m_lastEstimate = -1.0e300;
    m_lastExpiry = -1.0e300;
}

FeedClock::Verdict FeedClock::judge(double stamp, std::optional<std::uint32_t> aircraft, double now,
                                    std::optional<Jump>& jump) {
    const double offset = stamp - now;
    if (aircraft) {
        const auto [it, added] = m_votes.try_emplace(*aircraft);
        Vote& v = it->second;
        const bool lateCopy = !added && offset < v.offset - kOwnJumpS && now - v.at <= kLiveLineQuietS;
        if (lateCopy) {
            // (Its own newer stamps keep the vote.)
        } else if (added || std::fabs(offset - v.offset) > kOwnJumpS || now - v.at > kVoteLifeS) {
            v.pace = Pace::Unknown;
            v.checkStamp = stamp;
            v.checkAt = now;
        } else if (now - v.checkAt >= kKeepingPaceS) {
            // Three quarters of the steady clock's pace is enough: stamps jitter, a repeated record does
            // not advance, a clock at half speed falls behind. Once judged, a vote changes sides only
            // beyond that line: a feed about it would otherwise flip its votes, and with them the clock.
            const double pace = (stamp - v.checkStamp) / (now - v.checkAt);
            if (v.pace == Pace::Unknown) {
                v.pace = pace >= kKeepingPaceRate ? Pace::Keeping : Pace::Stalled;
            } else if (v.pace == Pace::Keeping && pace < kKeepingPaceRate - kPaceHysteresis) {
                v.pace = Pace::Stalled;
            } else if (v.pace == Pace::Stalled && pace >= kKeepingPaceRate + kPaceHysteresis) {
                v.pace = Pace::Keeping;
            }
            v.checkStamp = stamp;
            v.checkAt = now;
        }
        if (!lateCopy) {
            v.offset = offset;
            v.at = now;
        }
    }
    if (!m_known) {
        // The first record: believed until others outvote it.
        m_known = true;
        m_offset = offset;
    }
    if (now - m_lastExpiry >= kExpiryIntervalS) lf_expireVotes(now);
    if (m_votes.size() <= kVotesEstimatedEveryRecord || now - m_lastEstimate >= kEstimateIntervalS)
        lf_estimate(now, jump);
    Verdict verdict;
    verdict.ahead = offset - m_offset;
    verdict.taken = verdict.ahead <= kAheadToleranceS;
    // Until the clock rests on the feed (the first moments of a start), the newest stamp taken
    // carries it, as any first record does.
    if (!m_backed && verdict.taken && offset > m_offset) m_offset = offset;
    verdict.timeStamp = stamp + m_baseShift;
    return verdict;
}

void FeedClock::lf_expireVotes(double now) {
    m_lastExpiry = now;
    const std::size_t before = m_votes.size();
    std::erase_if(m_votes, [&](const auto& entry) { return now - entry.second.at > kVoteLifeS; });
    // A flood of aircraft that has passed gives its memory back.
    if (m_votes.size() < before && m_votes.bucket_count() > 4 * m_votes.size() + 64) {
        std::unordered_map<std::uint32_t, Vote> kept(m_votes.begin(), m_votes.end());
        m_votes.swap(kept);
        std::vector<double>().swap(m_scratch);
    }
}

void FeedClock::lf_estimate(double now, std::optional<Jump>& jump) {
    m_lastEstimate = now;
    m_scratch.clear();
    for (const auto& [id, v] : m_votes)
        if (v.pace == Pace::Keeping) m_scratch.push_back(v.offset);
    // Nobody keeps pace yet: three or more aircraft still outvote one or two; fewer leave the clock
    // where it is (a lone aircraft that jumps is not followed until its stamps keep pace). Stalled
    // stamps never vote.
    if (m_scratch.empty()) {
        for (const auto& [id, v] : m_votes)
            if (v.pace == Pace::Unknown) m_scratch.push_back(v.offset);
        if (m_scratch.size() < 3) return;
    }
    // Of an even count's two middle votes the one nearer the clock: the clock moves far only when
    // both lie beyond it on one side, that is on a strict majority.
    const auto middle = m_scratch.begin() + static_cast<std::ptrdiff_t>(m_scratch.size() / 2);
    std::nth_element(m_scratch.begin(), middle, m_scratch.end());
    double estimate = *middle;
    if (m_scratch.size() % 2 == 0) {
        const double lower = *std::max_element(m_scratch.begin(), middle);
        if (std::fabs(lower - m_offset) < std::fabs(estimate - m_offset)) estimate = lower;
    }
    // A clock that rested on the feed and now moves far is a new time base; a first record that
    // the feed outvotes was never one.
    if (m_backed && std::fabs(estimate - m_offset) > kAheadToleranceS) {
        jump = Jump{estimate - m_offset};
        m_baseShift -= estimate - m_offset;
    }
    m_offset = estimate;
    m_backed = true;
}

}  // namespace vrn
