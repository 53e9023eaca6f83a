#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QUuid>

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
