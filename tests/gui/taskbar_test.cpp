// Taskbar progress on a private session bus started by the test.

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <csignal>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QProcess>
#include <QVariantMap>

#include "app/dialogs.h"
#include "desktop/taskbar_progress.h"
#include "window_harness.h"

namespace valmeric::test {
namespace {

// A dbus-daemon of the test's own, stopped with the test.
class PrivateBus {
 public:
  PrivateBus() {
    // The daemon goes with the test process, even when that one is killed.
    daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(10000)) return;
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(10000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    daemon_.terminate();
    if (!daemon_.waitForFinished(5000)) daemon_.kill();
  }
  const QString& address() const { return address_; }

 private:
  QProcess daemon_;
  QString address_;
};

struct Update {
  QString app_uri;
  QVariantMap properties;
};

// Listens on its own connection for the launcher-entry signals.
class LauncherWatcher : public QObject {
  Q_OBJECT

 public:
  explicit LauncherWatcher(const QString& address)
      : bus_(QDBusConnection::connectToBus(address, QStringLiteral("watcher"))) {
    connected = bus_.connect(QString(), QString::fromLatin1(desktop::kLauncherObjectPath),
                             QString::fromLatin1(desktop::kLauncherInterface),
                             QString::fromLatin1(desktop::kLauncherMember), this,
                             SLOT(OnUpdate(QDBusMessage)));
  }
  ~LauncherWatcher() override { QDBusConnection::disconnectFromBus(QStringLiteral("watcher")); }

  bool connected = false;
  std::vector<Update> updates;

 public Q_SLOTS:
  void OnUpdate(const QDBusMessage& message) {
    const auto args = message.arguments();
    if (args.size() != 2) return;
    updates.push_back({args[0].toString(), qdbus_cast<QVariantMap>(args[1])});
  }

 private:
  QDBusConnection bus_;
};

TEST(TaskbarTest, AFourEntryRunShowsEachStepAndThenHidesTheProgress) {
  PrivateBus bus;
  ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
  LauncherWatcher watcher(bus.address());
  ASSERT_TRUE(watcher.connected);

  WindowHarness h;
  ASSERT_TRUE(h.window().taskbarReady());
  h.site.SetFivePages();
  for (const auto& pair : GuiSite::Pairs()) h.site.HoldNext(pair);
  h.TickFirstOfEach();
  h.dialogs.setNextAnswer(app::kIdNo);
  h.Start("result");
  // Each page is held until its step has reached the taskbar: a worker that
  // outruns the window would otherwise show only where it stands now.
  for (size_t step = 1; step <= GuiSite::Pairs().size(); ++step) {
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return h.site.HeldSoFar() == static_cast<int>(step); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.updates.size() >= step; }, kWaitMs));
    h.site.ReleaseHeld();
  }
  ASSERT_TRUE(h.WaitIdle());
  ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.updates.size() >= 5; }, kWaitMs));
  QTest::qWait(100);

  ASSERT_EQ(watcher.updates.size(), 5u);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const Update& u = watcher.updates[static_cast<size_t>(i)];
    EXPECT_EQ(u.app_uri, QStringLiteral("application://valmeric.desktop"));
    EXPECT_DOUBLE_EQ(u.properties.value(QStringLiteral("progress")).toDouble(), (i + 1) / 4.0);
    EXPECT_TRUE(u.properties.value(QStringLiteral("progress-visible")).toBool());
  }
  const Update& last = watcher.updates[4];
  EXPECT_FALSE(last.properties.contains(QStringLiteral("progress")));
  ASSERT_TRUE(last.properties.contains(QStringLiteral("progress-visible")));
  EXPECT_FALSE(last.properties.value(QStringLiteral("progress-visible")).toBool());
}

TEST(TaskbarTest, WithoutASessionBusTheTaskbarStaysOff) {
  // The test main points the session bus at a socket that does not exist.
  EXPECT_FALSE(desktop::SetTaskbarProgressValue(1, 4));
  EXPECT_FALSE(desktop::SetTaskbarProgressState(window_model::tbpsNormal));
  WindowHarness h;
  EXPECT_FALSE(h.window().taskbarReady());
  EXPECT_FALSE(desktop::InitializeTaskbarAPI());
  EXPECT_FALSE(desktop::SetTaskbarProgressState(window_model::tbpsNone));
}

TEST(TaskbarTest, SecondInitialisationKeepsTheConnection) {
  PrivateBus bus;
  ASSERT_FALSE(bus.address().isEmpty());
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
  ASSERT_TRUE(desktop::InitializeTaskbarAPI());
  EXPECT_TRUE(desktop::InitializeTaskbarAPI());
  EXPECT_TRUE(desktop::SetTaskbarProgressValue(2, 4));
  EXPECT_FALSE(desktop::SetTaskbarOverlayIcon(QIcon(), QStringLiteral("busy")));
}

}  // namespace
}  // namespace valmeric::test

#include "taskbar_test.moc"
