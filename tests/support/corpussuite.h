#pragma once

// Suites that exist for the reference corpus (MORVANE_SHARED_DIR/<folder>).
// Without it such a suite still runs, its corpus cases skipping with a
// message, and then exits with kSkipCode, which CTest reports as "Skipped"
// (morvane_add_test's CORPUS option sets SKIP_RETURN_CODE): a run without the
// corpus must not look like a run that checked it. Failures still fail.
// Use MORVANE_CORPUS_TEST_MAIN or MORVANE_CORPUS_TEST_GUILESS_MAIN in place of
// QTEST_MAIN or QTEST_GUILESS_MAIN.

#include <QDir>
#include <QtTest>

namespace corpussuite {

inline constexpr int kSkipCode = 77;

inline bool present(const QString &folder) {
  const QString shared = qEnvironmentVariable("MORVANE_SHARED_DIR");
  return !shared.isEmpty() && QDir(shared + u'/' + folder).exists();
}

// Qt Test's result is the number of failures; one that happens to equal the
// skip code must not read as a skip.
inline int exitCode(int failures, const QString &folder) {
  if (failures == kSkipCode) return failures + 1;
  return failures == 0 && !present(folder) ? kSkipCode : failures;
}

}  // namespace corpussuite

#define MORVANE_CORPUS_SUITE_MAIN(TestObject, folder, ...)                               \
  int main(int argc, char *argv[]) {                                                     \
    __VA_ARGS__                                                                          \
    TestObject tc;                                                                       \
    QTEST_SET_MAIN_SOURCE_PATH                                                           \
    return corpussuite::exitCode(QTest::qExec(&tc, argc, argv), QStringLiteral(folder)); \
  }

#define MORVANE_CORPUS_TEST_MAIN(TestObject, folder) \
  MORVANE_CORPUS_SUITE_MAIN(TestObject, folder, QTEST_MAIN_SETUP())
#define MORVANE_CORPUS_TEST_GUILESS_MAIN(TestObject, folder) \
  MORVANE_CORPUS_SUITE_MAIN(TestObject, folder, QTEST_QAPP_SETUP(QCoreApplication))
