#include "Views/Screens/Shared/PrivilegedActionRoad.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorvane::testing {
namespace {

using Request = PrivilegedQuarantineRequest;
using Result = PrivilegedQuarantineResult;

// A helper service and a store reduced to what the road asks of them.
struct FakeRoadEnds {
    bool ready = true;
    bool refuse = false;
    bool commit = true;
    bool answerAtOnce = false;
    int begun = 0;
    std::vector<Request> sent;
    std::vector<std::function<void(const Result&)>> waiting;
    std::vector<std::pair<Result, Request>> completed;

    QuarantineRoad road() {
        return {
            [this] { return ready; },
            [this](QuarantineRoad::Send send) {
                ++begun;
                send(refuse ? std::nullopt : std::optional(Request{QStringLiteral("TX-%1").arg(begun), {}}));
            },
            [this](const Request& request, std::function<void(const Result&)> completion) {
                sent.push_back(request);
                if (answerAtOnce)
                    completion(resultFor(request));
                else
                    waiting.push_back(std::move(completion));
            },
            [this](const Result& result, const Request& request, std::function<void(bool)> then) {
                completed.emplace_back(result, request);
                then(commit);
            }};
    }
    static Result resultFor(const Request& request) {
        return {request.transactionID, true, true, {}, QStringLiteral("done")};
    }
    void answer() {
        auto completion = waiting.at(0);
        completion(resultFor(sent.at(0)));
    }
};

TEST(PrivilegedActionRoadTest, StopsBeforeSendingWhenNotReadyOrRefused) {
    const struct {
        bool ready;
        bool refuse;
        int begun;
    } cases[] = {{false, false, 0}, {true, true, 1}};
    for (const auto& test : cases) {
        FakeRoadEnds ends;
        ends.ready = test.ready;
        ends.refuse = test.refuse;
        QObject screen;
        int resets = 0;
        runPrivilegedAction(ends.road(), &screen, [&] { ++resets; });
        EXPECT_EQ(ends.begun, test.begun);
        EXPECT_TRUE(ends.sent.empty());
        EXPECT_TRUE(ends.completed.empty());
        EXPECT_EQ(resets, 0);
    }
}

TEST(PrivilegedActionRoadTest, ResetsOnlyAfterACommitAndHandsBackTheSentRequest) {
    for (const bool commit : {true, false}) {
        for (const bool atOnce : {false, true}) {
            FakeRoadEnds ends;
            ends.commit = commit;
            ends.answerAtOnce = atOnce;
            QObject screen;
            int resets = 0;
            runPrivilegedAction(ends.road(), &screen, [&] { ++resets; });
            ASSERT_EQ(ends.sent.size(), 1u);
            if (!atOnce) {
                EXPECT_TRUE(ends.completed.empty());
                ends.answer();
            }
            ASSERT_EQ(ends.completed.size(), 1u);
            EXPECT_EQ(ends.completed[0].second, ends.sent[0]);
            EXPECT_EQ(ends.completed[0].first.transactionID, ends.sent[0].transactionID);
            EXPECT_EQ(resets, commit ? 1 : 0) << "commit " << commit << " at once " << atOnce;
        }
    }
}

TEST(PrivilegedActionRoadTest, AResultAfterTheScreenHasGoneStillReachesTheStore) {
    FakeRoadEnds ends;
    int resets = 0;
    {
        auto screen = std::make_unique<QObject>();
        runPrivilegedAction(ends.road(), screen.get(), [&] { ++resets; });
    }
    ends.answer();
    ASSERT_EQ(ends.completed.size(), 1u);
    EXPECT_EQ(resets, 0);
}

} // namespace
} // namespace quorvane::testing
