// The program's run from its entry: the single-instance guard and the
// failure path of the main window's creation.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "ExceptionCapture.h"
#include "Program.h"
#include "Unit1.h"

namespace {

int AtomReferences(const char* name) {
  int count = 0;
  for (ATOM atom = GlobalFindAtomA(name); atom != 0 && count < 100; atom = GlobalFindAtomA(name)) {
    if (GlobalDeleteAtom(atom) != 0) break;
    ++count;
  }
  for (int i = 0; i < count; ++i) GlobalAddAtomA(name);
  return count;
}

int creations = 0;
void FailingCreation() {
  ++creations;
  GlobalAddAtomA("PopupZapnixRunning");  // as far as the window's creation got
  throw Exception("The main window could not be created");
}

// Holds the instance mutex on a thread of its own, as another instance would.
class OtherInstance {
 public:
  OtherInstance() {
    thread_ = std::thread([this] {
      HANDLE mutex = CreateMutexA(nullptr, TRUE, kInstanceMutex);
      SetEvent(held_);
      WaitForSingleObject(done_, INFINITE);
      ReleaseMutex(mutex);
      CloseHandle(mutex);
    });
    WaitForSingleObject(held_, INFINITE);
  }
  ~OtherInstance() {
    SetEvent(done_);
    thread_.join();
    CloseHandle(held_);
    CloseHandle(done_);
  }

 private:
  HANDLE held_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread thread_;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    creations = 0;
    CreateMainWindow = &FailingCreation;
    PurgeAtom(kInstanceAtom);
    PurgeAtom("PopupZapnixRunning");
  }
  void TearDown() override {
    CreateMainWindow = saved_;
    PurgeAtom(kInstanceAtom);
    PurgeAtom("PopupZapnixRunning");
  }
  void (*saved_)() = CreateMainWindow;
};

TEST_F(ProgramTest, FailedCreationShowsTheErrorAndEndsWithZeroAndNoMarkers) {
  ExceptionCapture errors;
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_EQ(creations, 1);
  EXPECT_EQ(errors.count, 1);
  EXPECT_EQ(errors.text, "The main window could not be created");
  EXPECT_EQ(GlobalFindAtomA(kInstanceAtom), 0);
  EXPECT_EQ(GlobalFindAtomA("PopupZapnixRunning"), 0);
  // The lock went with the run: the next start gets it.
  TInstanceLock next;
  EXPECT_TRUE(next.Held());
}

TEST_F(ProgramTest, LiveInstanceEndsTheStartWithOneAndChangesNothing) {
  GlobalAddAtomA(kInstanceAtom);
  GlobalAddAtomA("PopupZapnixRunning");
  ExceptionCapture errors;
  {
    OtherInstance other;
    EXPECT_EQ(RunProgram(), 1);
  }
  EXPECT_EQ(creations, 0);
  EXPECT_EQ(errors.count, 0);
  EXPECT_EQ(AtomReferences(kInstanceAtom), 1);
  EXPECT_EQ(AtomReferences("PopupZapnixRunning"), 1);

  // A live holder of the lock counts even when it has not added the atom yet.
  PurgeAtom(kInstanceAtom);
  OtherInstance starting;
  EXPECT_EQ(RunProgram(), 1);
  EXPECT_EQ(GlobalFindAtomA(kInstanceAtom), 0);
}

TEST_F(ProgramTest, AtomsWithoutALiveOwnerAreStaleAndCleared) {
  for (int i = 0; i < 3; ++i) GlobalAddAtomA(kInstanceAtom);
  for (int i = 0; i < 2; ++i) GlobalAddAtomA("PopupZapnixRunning");
  // The window's creation sees one reference of each: the stale ones went first.
  CreateMainWindow = [] {
    ++creations;
    EXPECT_EQ(AtomReferences(kInstanceAtom), 1);
    EXPECT_EQ(AtomReferences("PopupZapnixRunning"), 0);
    throw Exception("stop here");
  };
  ExceptionCapture errors;
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_EQ(creations, 1);
}

}  // namespace

namespace {

// When the lock's name is taken by another kind of object, the atom alone
// decides, as it always did.
TEST_F(ProgramTest, WithoutTheLockTheAtomAloneDecides) {
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, kInstanceMutex);
  ASSERT_NE(squatter, nullptr);
  {
    TInstanceLock lock;
    EXPECT_FALSE(lock.Available());
  }
  GlobalAddAtomA(kInstanceAtom);
  EXPECT_EQ(RunProgram(), 1);
  EXPECT_EQ(creations, 0);
  EXPECT_EQ(AtomReferences(kInstanceAtom), 1);
  PurgeAtom(kInstanceAtom);
  ExceptionCapture errors;
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_EQ(creations, 1);
  CloseHandle(squatter);
}

}  // namespace
