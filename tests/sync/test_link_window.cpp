// Link in the real window (offscreen), with a session of the test's own (no network): the switch,
// the status line, a session's tempo in the number, word and weight, and the tempo the window sends
// to the session.
#include <algorithm>
#include <vector>

#include "sync/ableton_link.h"

#include "app/link_control.h"
#include "support/window_test.h"
#include "sync/audio_session.h"

namespace {

// What the window told its sessions, and the session's threads' notifiers for the test to call.
struct SessionLog {
    int alive = 0;
    double startBpm = 0;
    std::vector<double> tempos; // SetTempo, in order
    int peers = 0;
    bool shared = false; // start and stop shared
    linksync::Session::Notifiers notify;
};

struct FakeSession final : linksync::Session {
    explicit FakeSession(SessionLog &log) : log_(log) { ++log_.alive, log_.shared = false; }
    ~FakeSession() override { --log_.alive; }
    void SetTempo(double bpm) override { log_.tempos.push_back(bpm); }
    void SetStartStopShared(bool shared) override { log_.shared = shared; }
    void Stopped() override {}
    int Peers() const override { return log_.peers; }
    void Align() override {}
    engine::SharedSession &audio() override { return audio_; }

    SessionLog &log_;
    ableton::Link link_{120}; // never enabled: off the network
    linksync::AudioSession<ableton::Link> audio_{link_};
};

struct LinkWindowTest : testsupport::WindowTest {
    void SetUp() override
    {
        WindowTest::SetUp();
        form->Link().SetSessionFactory([this](double bpm, linksync::Session::Notifiers notify) {
            log.startBpm = bpm;
            log.notify = std::move(notify);
            return std::make_unique<FakeSession>(log);
        });
    }
    // The practice tools' status line, empty while it is hidden.
    QString status() const
    {
        auto *line = form->findChild<QLabel *>(QStringLiteral("lblPractice"));
        return line && line->isVisibleTo(form.get()) ? line->text() : QString();
    }
    // A notifier runs on the session's thread and posts to the window, which takes it next turn.
    void fromSession(const std::function<void()> &notifier)
    {
        notifier();
        QCoreApplication::processEvents();
    }
    int weightTop() const { return form->control("PicSlider")->y(); }

    SessionLog log;
};

TEST_F(LinkWindowTest, KeyLAndMenuEntrySwitchTheSessionAndTheStatusLineFollowsPeersAndBar)
{
    EXPECT_EQ(log.alive, 0) << "no session before Link is switched on";
    QAction *link = entry(QStringLiteral("Link"));
    for (bool onByKey : {true, false}) { // and off the other way
        SCOPED_TRACE(onByKey ? "on by key L" : "on by the menu entry");
        onByKey ? key(Qt::Key_L) : link->trigger();
        EXPECT_EQ(std::tuple(log.alive, link->isChecked(), status()),
                  std::tuple(1, true, QStringLiteral("Link: allein")));
        onByKey ? link->trigger() : key(Qt::Key_L);
        EXPECT_EQ(std::tuple(log.alive, link->isChecked(), status()), std::tuple(0, false, QString()))
            << "Link off: its session (threads, sockets) gone";
    }
    key(Qt::Key_L);
    for (auto [peers, waiting, shown] : {std::tuple{1, false, "Link: 1 Teilnehmer"},
                                         {3, false, "Link: 3 Teilnehmer"},
                                         {3, true, "Link: wartet auf Takt"},
                                         {2, true, "Link: wartet auf Takt"},
                                         {2, false, "Link: 2 Teilnehmer"},
                                         {0, false, "Link: allein"}}) {
        log.peers = peers;
        fromSession(log.notify.peers);
        form->Link().Frame(waiting);
        EXPECT_EQ(status(), QString::fromUtf8(shown));
    }
}

// With start and stop shared, a peer's START and STOP start and stop the window, after a run of its
// own and with Link switched off and on again too.
TEST_F(LinkWindowTest, SharedStartAndStopStaySharedAfterARunAndAfterLinkOffAndOn)
{
    key(Qt::Key_L);
    entry(QStringLiteral("Start/Stop teilen"))->trigger();
    for (int round = 0; round < 2; ++round) {
        click("Check1");
        click("Check1");
        EXPECT_TRUE(log.shared && entry(QStringLiteral("Start/Stop teilen"))->isChecked()) << "round " << round;
        fromSession([&] { log.notify.playing(true); });
        EXPECT_EQ(text("Check1"), QStringLiteral("S T O P")) << "a peer's START, round " << round;
        fromSession([&] { log.notify.playing(false); });
        EXPECT_EQ(text("Check1"), QStringLiteral("S T A R T")) << "a peer's STOP, round " << round;
        key(Qt::Key_L);
        key(Qt::Key_L);
    }
}

TEST_F(LinkWindowTest, SessionTempoIsShownAsIfSetHere)
{
    // The weight dragged down pixel by pixel as far as it goes: the rod's fast end.
    QWidget *weight = form->control("PicSlider");
    testsupport::Send(weight, QEvent::MouseButtonPress, {16, 16}, Qt::LeftButton, Qt::LeftButton);
    for (int i = 0; i < 300; ++i)
        testsupport::Send(weight, QEvent::MouseMove, {16, 17}, Qt::NoButton, Qt::LeftButton);
    testsupport::Send(weight, QEvent::MouseButtonRelease, {16, 16}, Qt::LeftButton, Qt::NoButton);
    const int fastEnd = weightTop();
    key(Qt::Key_L);
    for (auto [bpm, number, word] : {std::tuple{97.0, "97", "Andante"},
                                     {97.4, "97", "Andante"},
                                     {150.6, "151", "Allegro"},
                                     {20.0, "20", "Largamente"},
                                     {273.0, "273", "Prestissimo"},
                                     {999.0, "999", "Prestissimo"}}) {
        SCOPED_TRACE(bpm);
        fromSession([&] { log.notify.tempo(bpm); });
        EXPECT_EQ(text("lblBPM"), QString::fromUtf8(number));
        EXPECT_EQ(text("lblTempo"), QString::fromUtf8(word));
        if (bpm > 271)
            EXPECT_EQ(weightTop(), fastEnd) << "beyond the tempos it can be dragged to: at its fast end";
        else
            EXPECT_LT(weightTop(), fastEnd);
    }
    EXPECT_TRUE(log.tempos.empty()) << "a tempo from the session is not sent back as the user's";
}

TEST_F(LinkWindowTest, TempoSetHereGoesToTheSessionNeverBelow20)
{
    key(Qt::Key_L);
    EXPECT_EQ(log.startBpm, 120);
    key(Qt::Key_Plus); // ">": 121
    EXPECT_EQ(log.tempos, std::vector<double>{121});
    for (int i = 0; i < 12; ++i)
        key(Qt::Key_PageDown); // "<<": 111, 101, ... 21, 11 -> 20, and again 20
    EXPECT_EQ(log.tempos.back(), 20);
    EXPECT_EQ(*std::min_element(log.tempos.begin(), log.tempos.end()), 20);
    EXPECT_EQ(text("lblBPM"), QStringLiteral("20"));

    // Off, the tempo may go below 20; on again, the session starts at 20 and the window shows it.
    key(Qt::Key_L);
    key(Qt::Key_PageDown);
    key(Qt::Key_PageDown);
    EXPECT_EQ(text("lblBPM"), QStringLiteral("1")) << "without Link the slowest tempo is 1";
    key(Qt::Key_L);
    EXPECT_EQ(log.startBpm, 20);
    EXPECT_EQ(text("lblBPM"), QStringLiteral("20"));
}

} // namespace
