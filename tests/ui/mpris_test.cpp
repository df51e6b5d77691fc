// The MPRIS service on a private session bus, seen by a second connection as a desktop's
// media controls see it.
#include "ui/mpris_service.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include "app/listening/comforts.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "library/library_index.h"
#include "private_bus.h"
#include "support/library_fixture.h"
#include "view_harness.h"

namespace lectoria {
namespace {

using testing::G;
using testing::PrivateBus;
using testing::ProcessEvents;
using testing::PropertiesRecorder;
using testing::ViewHarness;
using testing::WaitFor;

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProps = QStringLiteral("org.freedesktop.DBus.Properties");

class MprisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (bus_.Address().isEmpty()) GTEST_SKIP() << "dbus-daemon could not be started";
    // The start button as the playback controller turns it: "开始" <-> "暂停".
    h_.app.hooks().ToggleStartPause = [this] {
      const bool start = h_.model().Text(ctl::按钮1) == texts::kCaptionStart;
      h_.model().SetText(ctl::按钮1, start ? texts::kCaptionPause : texts::kCaptionStart);
      if (start) h_.app.state().PlaybackStarted = true;
    };
    h_.app.hooks().AdvanceClip = [this] { ++skips_; };
    h_.app.hooks().PreviousLine = [this] { ++previous_; };
    comforts_.Install();
    service_ = std::make_unique<MprisService>(comforts_.media(), h_.model(), [this] { ++quits_; });
    ASSERT_TRUE(service_->Register(bus_.Connect(QStringLiteral("reader"))));
    client_ = bus_.Connect(QStringLiteral("desktop"));
    ASSERT_TRUE(client_.isConnected());
  }
  ~MprisTest() override {
    service_.reset();
    h_.ui.Shutdown();
    h_.app.Close();
  }

  // A blocking call from the desktop's side; the reader's side answers on this thread's loop,
  // so the call is sent and its reply awaited while events are processed.
  QDBusMessage Call(const QString& interface, const QString& method, QVariantList args = {}) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(service_->BusName(), kPath, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = client_.asyncCall(message);
    EXPECT_TRUE(WaitFor([&] { return pending.isFinished(); }));
    ProcessEvents();
    return pending.reply();
  }
  QVariant Get(const QString& interface, const QString& property) {
    const QDBusMessage reply = Call(kProps, QStringLiteral("Get"), {interface, property});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }
  QVariantMap Metadata() {
    QVariantMap map;
    Get(kPlayer, QStringLiteral("Metadata")).value<QDBusArgument>() >> map;
    return map;
  }

  void WriteBook() {
    h_.dir.WriteFile("data/1.txt", testing::CrLf({G("第一章 夜行"), G("邮差走过桥。")}));
    testing::WriteLibraryIndex(h_.dir.paths(), G("灯下集"), {G("第一章 夜行")});
    LibraryIndex index(h_.dir.paths());
    index.WriteReadingHistory(0);
    index.WriteLineNumber(2);
  }

  PrivateBus bus_;
  ViewHarness h_;
  Comforts comforts_{h_.app};
  std::unique_ptr<MprisService> service_;
  QDBusConnection client_{QString()};
  int skips_ = 0;
  int previous_ = 0;
  int quits_ = 0;
};

TEST_F(MprisTest, NamesItselfAndAnswersTheRootInterface) {
  EXPECT_EQ(service_->BusName(), QStringLiteral("org.mpris.MediaPlayer2.lectoria"));
  EXPECT_EQ(Get(kRoot, QStringLiteral("Identity")).toString(), QStringLiteral("Lectoria"));
  EXPECT_EQ(Get(kRoot, QStringLiteral("DesktopEntry")).toString(), QStringLiteral("lectoria"));
  EXPECT_TRUE(Get(kRoot, QStringLiteral("CanRaise")).toBool());
  EXPECT_FALSE(Get(kRoot, QStringLiteral("HasTrackList")).toBool());

  // A second reader on the same bus takes an instance name, as MPRIS asks.
  MprisService second(comforts_.media(), h_.model(), {});
  ASSERT_TRUE(second.Register(bus_.Connect(QStringLiteral("second"))));
  EXPECT_TRUE(
      second.BusName().startsWith(QStringLiteral("org.mpris.MediaPlayer2.lectoria.instance")));

  h_.Start();
  h_.model().SetVisible(false);
  ProcessEvents();
  Call(kRoot, QStringLiteral("Raise"));
  EXPECT_TRUE(h_.model().IsVisible());
  Call(kRoot, QStringLiteral("Quit"));
  EXPECT_EQ(quits_, 1);
}

TEST_F(MprisTest, MethodsDriveReadingAndPropertiesFollowIt) {
  WriteBook();
  h_.Start();
  EXPECT_EQ(Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
  const QVariantMap meta = Metadata();
  EXPECT_EQ(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("第一章 夜行"));
  EXPECT_EQ(meta.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("灯下集"));
  EXPECT_EQ(meta.value(QStringLiteral("xesam:asText")).toString(), QStringLiteral("邮差走过桥。"));
  EXPECT_EQ(meta.value(QStringLiteral("xesam:comment")).toStringList(),
            QStringList{QStringLiteral("邮差走过桥。")});

  PropertiesRecorder recorder;
  ASSERT_TRUE(client_.connect(service_->BusName(), kPath, kProps,
                              QStringLiteral("PropertiesChanged"), &recorder,
                              SLOT(Record(QString, QVariantMap, QStringList))));
  struct Step {
    QString method;
    QString status;
  };
  const Step steps[] = {
      {QStringLiteral("Play"), QStringLiteral("Playing")},
      {QStringLiteral("Play"), QStringLiteral("Playing")},
      {QStringLiteral("PlayPause"), QStringLiteral("Paused")},
      {QStringLiteral("PlayPause"), QStringLiteral("Playing")},
      {QStringLiteral("Stop"), QStringLiteral("Paused")},  // the place is kept
      {QStringLiteral("Pause"), QStringLiteral("Paused")},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.method.toStdString());
    Call(kPlayer, step.method);
    EXPECT_EQ(Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), step.status);
  }
  ASSERT_TRUE(WaitFor([&] { return recorder.changes.size() >= 2; }));
  EXPECT_EQ(recorder.changes.front().interface, kPlayer);
  EXPECT_EQ(recorder.changes.front().changed.value(QStringLiteral("PlaybackStatus")).toString(),
            QStringLiteral("Playing"));

  Call(kPlayer, QStringLiteral("Next"));
  Call(kPlayer, QStringLiteral("Previous"));
  EXPECT_EQ(skips_, 1);
  EXPECT_EQ(previous_, 1);

  // Rate and volume are the speed and volume of the window.
  Call(kProps, QStringLiteral("Set"),
       {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.4))});
  Call(kProps, QStringLiteral("Set"),
       {kPlayer, QStringLiteral("Rate"), QVariant::fromValue(QDBusVariant(1.6))});
  EXPECT_EQ(h_.model().Value(ctl::滑块条_音量), 40);
  EXPECT_DOUBLE_EQ(Get(kPlayer, QStringLiteral("Rate")).toDouble(), 1.5);  // the nearest step
  EXPECT_DOUBLE_EQ(Get(kPlayer, QStringLiteral("MaximumRate")).toDouble(), 3.0);
}

}  // namespace
}  // namespace lectoria
