#include <gtest/gtest.h>

#include <string>

#include "Filer.h"
#include "Resstream.h"
#include "Strres.h"

namespace {

std::string ReadAll(TStream& s) {
  s.SetPosition(0);
  std::string data(static_cast<size_t>(s.Size()), '\0');
  s.ReadBuffer(data.data(), s.Size());
  return data;
}

TEST(ResourceStreamTest, MissingResourcesRaiseResNotFound) {
  try {
    TResourceStream s(GetModuleHandleA(nullptr), "ZX_NO_SUCH_RESOURCE", MAKEINTRESOURCEA(10));
    ADD_FAILURE();
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource ZX_NO_SUCH_RESOURCE not found");
  }
  EXPECT_THROW((TResourceStream(GetModuleHandleA(nullptr), 31999, MAKEINTRESOURCEA(10))), EResNotFound);
  TComponent root(nullptr);
  EXPECT_THROW(ReadComponentRes(&root, "ZX_NO_SUCH_FORM"), EResNotFound);
  EXPECT_EQ(LoadStringBuffer(54321, 4096), "");
}

TEST(ResourceStreamTest, ReadsTheManifestOfTheTestProgram) {
  HMODULE module = GetModuleHandleA(nullptr);
  if (!FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) GTEST_SKIP() << "no manifest linked";
  TResourceStream s(module, 1, MAKEINTRESOURCEA(24));  // RT_MANIFEST
  std::string text = ReadAll(s);
  EXPECT_NE(text.find("assembly"), std::string::npos);
  EXPECT_EQ(s.Position(), s.Size());
  EXPECT_THROW(s.WriteBuffer("x", 1), EStreamError);
  EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
}

}  // namespace
