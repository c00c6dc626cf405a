#pragma once
// Where the white and black lists live for the blocking engine: the value
// names of two subkeys of the program's key under HKEY_CURRENT_USER, each
// with an empty REG_SZ value. The program and the lists tool both go through
// here, so that they agree on the place and on how a list is written.

#include "Strings.h"

inline constexpr char kUrlStoreKey[] = "Vantrel Software\\Popup Zapnix";

// List selector 0 is the white list, 1 the black list.
const char* UrlListSection(int selector);

// Fills the strings with the list's value names in the registry's enumeration
// order; a list whose subkey cannot be opened leaves them as they are.
void LoadUrlList(int selector, TStrings* strings);
// Replaces the stored list by the strings: the subkey is deleted and written
// again value by value, so an empty list leaves no subkey. A failed write
// raises ERegistryException naming the URL; the values before it stay written.
void SaveUrlList(int selector, TStrings* strings);
