// One copy per executable name: the lock, the knock, and a lock that a copy
// ending without a word (killed) leaves free.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "posix/instance.h"

using vantorel::posix::SingleInstance;

TEST(SingleInstance, TheSecondCopyKnocksAndAKilledCopyHoldsNothing) {
  std::string folder = (std::filesystem::temp_directory_path() / "vantorel-instance-XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  {
    const SingleInstance first("Vantorel", folder);
    ASSERT_EQ(std::pair(first.First(), first.KnockSocket() >= 0), std::pair(true, true));
    EXPECT_FALSE(first.TakeKnock());  // nobody knocked yet
    const SingleInstance second("Vantorel", folder), other("Vantorel2", folder);
    EXPECT_FALSE(second.First());
    EXPECT_TRUE(other.First());  // another name is another program
    EXPECT_TRUE(second.KnockOnFirst());
    EXPECT_TRUE(first.TakeKnock());
    EXPECT_FALSE(first.KnockOnFirst());  // the first copy knocks on nobody
  }
  // A copy killed while it held the lock: the next start is the first.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const SingleInstance held("Vantorel", folder);
    std::_Exit(held.First() ? 0 : 1);  // ends without its destructor
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(std::tuple(WIFEXITED(status), WEXITSTATUS(status)), std::tuple(true, 0));
  const SingleInstance next("Vantorel", folder);
  EXPECT_EQ(std::pair(next.First(), next.KnockSocket() >= 0), std::pair(true, true));
  // A folder that cannot be used keeps no copy from starting.
  EXPECT_TRUE(SingleInstance("Vantorel", folder + "/missing").First());
  std::filesystem::remove_all(folder);
}
