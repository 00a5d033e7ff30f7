#pragma once
// The feed's own clock, estimated from the feed as a whole: each aircraft votes with the offset
// between its latest stamp and this computer's steady clock, and the clock is the median vote of
// the last minute. One or two aircraft cannot move or hold it; a whole feed that jumps (replay
// started again, replay to live) carries it within seconds, and such a jump starts a new time base
// so that every aircraft's stamps still follow on from its earlier ones.
//
// An aircraft whose stamp jumps away from its own earlier ones loses its vote until its stamps
// keep pace with time again (two records at least a second apart that agree), unless the stamp
// lies behind its own while those still come (a second sender's late copy: the vote stays with the
// newer ones); one whose stamps stop advancing with this computer's clock, or advance much slower
// (a relay repeating an old record, a clock at half speed), loses it until they keep pace again;
// while some aircraft keep pace, only theirs count. A lone aircraft is thus judged on its own
// stamps. A settled clock moves only when a strict majority of the votes lies on one side of it: a
// tie keeps it where it is.
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace vrn {

class FeedClock {
public:
    // Stamps further ahead of the clock than this are refused; an aircraft's stamps that move by
    // more than kOwnJumpS against the steady clock start a new run of its own.
    static constexpr double kAheadToleranceS = 30.0;
    static constexpr double kOwnJumpS = 10.0;
    static constexpr double kVoteLifeS = 60.0;
    static constexpr double kKeepingPaceS = 1.0;
    // Stamps that advance at this share of the steady clock's pace keep pace; a judged vote changes
    // sides only this far beyond it (a clock at half speed whose stamps jitter by a few tenths of a
    // second reads below the lower line, an honest one above the upper).
    static constexpr double kKeepingPaceRate = 0.75;
    static constexpr double kPaceHysteresis = 0.15;
    // A record stamped well behind its aircraft's own stamps while those still come (within this
    // long) is a late copy of its feed, a second sender's: it neither moves nor resets its vote.
    static constexpr double kLiveLineQuietS = 3.0;

    struct Verdict {
        bool taken = false;
        double ahead = 0.0;       // seconds the stamp lies ahead of the clock (when refused)
        double timeStamp = 0.0;   // the stamp on the continuous time base (when taken)
    };
    struct Jump {
        double seconds = 0.0;   // how far the clock moved, forward positive
    };

    // Judges one record: `aircraft` none when its id cannot be read (it then has no vote),
    // `now` the steady clock in seconds. A clock jump it causes is reported through `jump`.
    Verdict judge(double stamp, std::optional<std::uint32_t> aircraft, double now, std::optional<Jump>& jump);
    void reset();

    // Feed time minus steady time, once known.
    std::optional<double> offset() const { return m_known ? std::optional<double>(m_offset) : std::nullopt; }
    // Whether the clock rests on more than a first record: an aircraft keeping pace, or three voting.
    bool backed() const { return m_backed; }
    std::size_t voterCount() const { return m_votes.size(); }

private:
    // Unknown until a record a second or more into its run shows whether its stamps advance.
    enum class Pace { Unknown, Keeping, Stalled };
    struct Vote {
        double offset = 0.0;       // latest stamp minus steady time
        double at = 0.0;           // steady time of its latest record
        double checkStamp = 0.0;   // stamp and steady time its pace is next judged from
        double checkAt = 0.0;
        Pace pace = Pace::Unknown;
    };
    void lf_expireVotes(double now);
    void lf_estimate(double now, std::optional<Jump>& jump);

    std::unordered_map<std::uint32_t, Vote> m_votes;
    std::vector<double> m_scratch;
    bool m_known = false;
    bool m_backed = false;
    double m_offset = 0.0;
    double m_baseShift = 0.0;   // added to stamps: the time base stays continuous over jumps
    double m_lastEstimate = -1.0e300;
    double m_lastExpiry = -1.0e300;
};

}  // namespace vrn
