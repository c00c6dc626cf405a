#include "UrlStore.h"

#include "Registry.h"

const char* UrlListSection(int selector) { return selector == 0 ? "WhiteList" : "BlackList"; }

void LoadUrlList(int selector, TStrings* strings) {
  TRegIniFile store(kUrlStoreKey);
  store.ReadSection(UrlListSection(selector), strings);
}

void SaveUrlList(int selector, TStrings* strings) {
  TRegIniFile store(kUrlStoreKey);
  store.EraseSection(UrlListSection(selector));
  for (int i = 0; i < strings->Count(); ++i) store.WriteString(UrlListSection(selector), strings->Get(i), "");
}
