// Runs the launcher as the operator would, with the test application library, and checks what
// it prints and its exit status.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

struct LaunchResult {
  int exit_code = -1;
  QString out;
  QString err;
};

LaunchResult Launch(const QStringList& args, const QString& interaction = "script") {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  if (interaction.isEmpty()) {
    env.remove("HOSTRT_INTERACTION");
  } else {
    env.insert("HOSTRT_INTERACTION", interaction);
  }
  process.setProcessEnvironment(env);
  process.start(HOSTRT_RUN_PATH, args);
  LaunchResult run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    run.err = "launcher did not finish";
    return run;
  }
  run.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

QString WriteScript(const QTemporaryDir& dir, const QString& text) {
  const QString path = dir.filePath("answers.txt");
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text.toUtf8());
  return path;
}

TEST(Launcher, RunsTheLifecycleOfAnApplicationThatOpensAWindow) {
  QTemporaryDir dir;
  const QString script = WriteScript(dir, "# the response window's answer\nresponse 7\n");
  const LaunchResult run = Launch({TEST_APP_PATH, "window", "two words"}, "script:" + script);
  EXPECT_EQ(run.exit_code, 7) << run.err.toStdString();
  EXPECT_EQ(run.out,
            "create: message valid\n"
            "open: window two words\n"
            "handle non-zero\n"
            "window open\n"
            "answer: 7\n"
            "window close\n"
            "close\n"
            "destroy: sqlca gone\n");
  EXPECT_TRUE(run.err.contains("测试: 窗口已打开")) << run.err.toStdString();
}

TEST(Launcher, FindsABareNameInTheLibDirectoryAndEndsAtOnceWithoutAWindow) {
  const LaunchResult run = Launch({"hostrt_test_app", "quiet"});
  EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
  EXPECT_EQ(run.out,
            "create: message valid\nopen: quiet\nhandle non-zero\nclose\ndestroy: sqlca gone\n");
}

TEST(Launcher, ReportsWhatCannotBeRun) {
  const LaunchResult missing = Launch({"no_such_application"});
  EXPECT_EQ(missing.exit_code, 3);
  EXPECT_TRUE(missing.err.contains("cannot load the application library \"no_such_application\""))
      << missing.err.toStdString();

  // A library that is not an application: the runtime itself.
  const LaunchResult not_app = Launch({HOSTRT_LIBRARY_PATH});
  EXPECT_EQ(not_app.exit_code, 4);
  EXPECT_TRUE(not_app.err.contains("hostrt_create_application")) << not_app.err.toStdString();

  const LaunchResult usage = Launch({});
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_TRUE(usage.err.contains("usage: hostrt-run")) << usage.err.toStdString();
}

TEST(Launcher, RefusesABadInteractionScriptBeforeRunningAnything) {
  QTemporaryDir dir;
  const QString script = WriteScript(dir, "box 1\nsmile please\n");
  const LaunchResult run = Launch({TEST_APP_PATH, "window"}, "script:" + script);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
  EXPECT_TRUE(run.err.contains("line 2")) << run.err.toStdString();

  const LaunchResult unreadable = Launch({TEST_APP_PATH}, "script:" + dir.filePath("absent.txt"));
  EXPECT_EQ(unreadable.exit_code, 2);
  EXPECT_TRUE(unreadable.err.contains("absent.txt")) << unreadable.err.toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
