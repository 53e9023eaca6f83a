#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QUuid>

#include "app/instance_request.h"

#include "editor_fixture.h"

namespace kelvor {
namespace {

QString FreshKey() {
  return QStringLiteral("kelvor-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

TEST(SingleInstance, SecondStartRaisesTheFirstAndGivesWay) {
  test::TestApplication();
  const QString key = FreshKey();
  SingleInstance first(key);
  ASSERT_TRUE(first.Claim());
  QSignalSpy raised(&first, &SingleInstance::activationRequested);

  SingleInstance second(key);
  EXPECT_FALSE(second.Claim());
  EXPECT_TRUE(raised.count() == 1 || raised.wait(2000));
  EXPECT_EQ(raised.count(), 1);

  // A third start is turned away the same way.
  SingleInstance third(key);
  EXPECT_FALSE(third.Claim());
  EXPECT_TRUE(raised.count() == 2 || raised.wait(2000));
}

// Appended byte by byte: GCC 12 takes a ranged insert here for an overflow.
void Append(std::vector<uint8_t>& bytes, std::string_view text) {
  for (const char c : text) bytes.push_back(static_cast<uint8_t>(c));
}

std::vector<uint8_t> Bytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  Append(bytes, text);
  return bytes;
}

TEST(InstanceRequestTest, ReadsOnlyWellFormedRequests) {
  const std::vector<uint8_t> open = EncodeOpenRequest("/maps/ステージ.kv");
  // "open\n", the length 21 least significant byte first, the UTF-8 bytes.
  std::vector<uint8_t> expected = Bytes("open\n");
  for (const uint8_t b : {21, 0, 0, 0}) expected.push_back(b);
  Append(expected, "/maps/ステージ.kv");
  ASSERT_EQ(open, expected);

  auto withLength = [](uint32_t length, std::string_view path) {
    std::vector<uint8_t> bytes = Bytes("open\n");
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(length >> (8 * i)));
    Append(bytes, path);
    return bytes;
  };
  std::vector<uint8_t> withNul = withLength(5, std::string_view("/a\0bc", 5));
  std::vector<uint8_t> tooLong = withLength(MaxHandedOverPath + 1, "/a");
  std::vector<uint8_t> trailing = open;
  trailing.push_back('x');
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    InstanceRequestKind kind;
    std::string path;
  };
  const Case cases[] = {
      {"raise", Bytes("raise\n"), InstanceRequestKind::Raise, ""},
      {"raise cut short", Bytes("rai"), InstanceRequestKind::Incomplete, ""},
      {"nothing yet", {}, InstanceRequestKind::Incomplete, ""},
      {"open", open, InstanceRequestKind::Open, "/maps/ステージ.kv"},
      {"open without its length", Bytes("open\n\x14"), InstanceRequestKind::Incomplete, ""},
      {"open cut short", std::vector<uint8_t>(open.begin(), open.end() - 1),
       InstanceRequestKind::Incomplete, ""},
      {"garbage", Bytes("GET / HTTP/1.1\r\n"), InstanceRequestKind::Invalid, ""},
      {"raise and more", Bytes("raise\nraise\n"), InstanceRequestKind::Invalid, ""},
      {"bytes after the path", trailing, InstanceRequestKind::Invalid, ""},
      {"a length beyond any path", tooLong, InstanceRequestKind::Invalid, ""},
      {"length 0xFFFFFFFF", withLength(0xFFFFFFFFu, ""), InstanceRequestKind::Invalid, ""},
      {"empty path", withLength(0, ""), InstanceRequestKind::Invalid, ""},
      {"a NUL in the path", withNul, InstanceRequestKind::Invalid, ""},
      {"relative path", withLength(8, "stage.kv"), InstanceRequestKind::Invalid, ""},
  };
  for (const Case& c : cases) {
    const InstanceRequest request = ParseInstanceRequest(c.bytes);
    EXPECT_EQ(request.kind, c.kind) << c.name;
    EXPECT_EQ(request.path, c.path) << c.name;
  }
  EXPECT_TRUE(EncodeOpenRequest("").empty());
  EXPECT_TRUE(EncodeOpenRequest(std::string(MaxHandedOverPath + 1, 'a')).empty());
}

TEST(SingleInstance, ASecondStartHandsItsDocumentOverAsAnAbsolutePath) {
  test::TestApplication();
  const QString key = FreshKey();
  SingleInstance first(key);
  ASSERT_TRUE(first.Claim());
  QSignalSpy raised(&first, &SingleInstance::activationRequested);
  QSignalSpy handed(&first, &SingleInstance::documentHandedOver);

  // Garbage, and a sender that never finishes, are dropped without a word.
  for (const char* junk : {"GET / HTTP/1.1\r\n\r\n", "open\n\xff\xff\xff\xff", "open\n\x05"}) {
    QLocalSocket socket;
    socket.connectToServer(key);
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(junk);
    socket.waitForBytesWritten(1000);
    socket.waitForDisconnected(200);
  }

  SingleInstance second(key);
  EXPECT_FALSE(second.Claim("maps/stage.kv"));
  EXPECT_TRUE(handed.count() == 1 || handed.wait(2000));
  ASSERT_EQ(handed.count(), 1);
  const std::string expected =
      (QDir::currentPath() + QStringLiteral("/maps/stage.kv")).toStdString();
  EXPECT_EQ(handed[0][0].toByteArray().toStdString(), expected);
  EXPECT_EQ(raised.count(), 0);
}

TEST(SingleInstance, TheClaimEndsWithItsOwner) {
  test::TestApplication();
  const QString key = FreshKey();
  {
    SingleInstance first(key);
    ASSERT_TRUE(first.Claim());
  }
  SingleInstance next(key);
  EXPECT_TRUE(next.Claim());
}

TEST(SingleInstance, KeyDependsOnTheDesktopSession) {
  const QByteArray saved = qgetenv("DISPLAY");
  qputenv("DISPLAY", ":1");
  const QString one = SingleInstanceKey();
  qputenv("DISPLAY", ":2");
  const QString two = SingleInstanceKey();
  qputenv("DISPLAY", saved);
  EXPECT_NE(one, two);
  EXPECT_TRUE(one.startsWith(QStringLiteral("kelvor-")));
}

}  // namespace
}  // namespace kelvor
