#include "batch/naming/RenameResetPrompt.h"

#include <gtest/gtest.h>

namespace {

class ResetPrompt : public ::testing::Test {
protected:
    RenameResetPrompt make()
    {
        return RenameResetPrompt({ [this] { return m_dontShow; },
                                     [this](bool value) {
                                         m_dontShow = value;
                                         m_log.append("saved");
                                     } },
            { [this] { m_log.append("reset"); },
                [this](const QStringList& paths) { m_log.append("add " + paths.join(',')); },
                [this] { m_log.append("remove by button"); }, [this] { m_log.append("remove by menu"); } });
    }

    bool m_dontShow = false;
    QStringList m_log;
};

} // namespace

TEST(RenamingInForce, holdsOnTheRenamingPageInEditModeOrWhileTheNoticeShows)
{
    EXPECT_TRUE(RenameResetPrompt::renamingInForce(true, true, false));
    EXPECT_TRUE(RenameResetPrompt::renamingInForce(false, false, true));
    EXPECT_FALSE(RenameResetPrompt::renamingInForce(true, false, false));
    EXPECT_FALSE(RenameResetPrompt::renamingInForce(false, true, false));
}

TEST_F(ResetPrompt, letsRequestsGoAheadWhenRenamingIsNotInForce)
{
    RenameResetPrompt prompt = make();
    EXPECT_TRUE(prompt.requestAddition({ "/a.jpg" }, false));
    EXPECT_TRUE(prompt.requestRemoval(false, false));
    EXPECT_EQ(prompt.pending(), RenameResetPrompt::Request::None);
}

TEST_F(ResetPrompt, yesResetsTheRenamingBeforeTheHeldDropIsAdded)
{
    RenameResetPrompt prompt = make();
    EXPECT_FALSE(prompt.requestAddition({ "/a.jpg", "/b.jpg" }, true));
    EXPECT_EQ(prompt.pending(), RenameResetPrompt::Request::Addition);
    EXPECT_TRUE(m_log.isEmpty());

    prompt.answerYes(false);
    EXPECT_EQ(m_log, QStringList({ "reset", "add /a.jpg,/b.jpg" }));
    EXPECT_EQ(prompt.pending(), RenameResetPrompt::Request::None);
    EXPECT_FALSE(m_dontShow);
}

TEST_F(ResetPrompt, noDropsTheHeldRequestButSavesDoNotShowAgain)
{
    RenameResetPrompt prompt = make();
    EXPECT_FALSE(prompt.requestAddition({ "/a.jpg" }, true));
    prompt.answerNo(true);
    EXPECT_EQ(m_log, QStringList({ "saved" }));
    EXPECT_TRUE(prompt.heldPaths().isEmpty());

    // From now on nothing is asked.
    EXPECT_TRUE(prompt.requestAddition({ "/b.jpg" }, true));
    EXPECT_TRUE(prompt.requestRemoval(true, true));
}

TEST_F(ResetPrompt, yesWithDoNotShowAgainSavesItAndCarriesOutTheRemovalItHeld)
{
    RenameResetPrompt prompt = make();
    EXPECT_FALSE(prompt.requestRemoval(true, true));
    prompt.answerYes(true);
    EXPECT_EQ(m_log, QStringList({ "saved", "remove by menu" }));
    EXPECT_TRUE(m_dontShow);

    m_log.clear();
    m_dontShow = false;
    EXPECT_FALSE(prompt.requestRemoval(false, true));
    prompt.answerYes(false);
    EXPECT_EQ(m_log, QStringList({ "remove by button" }));
}

TEST_F(ResetPrompt, aNewDropReplacesTheOneStillWaiting)
{
    RenameResetPrompt prompt = make();
    EXPECT_FALSE(prompt.requestAddition({ "/old.jpg" }, true));
    EXPECT_FALSE(prompt.requestAddition({ "/new.jpg" }, true));
    prompt.answerYes(false);
    EXPECT_EQ(m_log, QStringList({ "reset", "add /new.jpg" }));
}
