// Setting up registry keys and values for a test.
#pragma once

#include <windows.h>

#include <string>

bool KeyExists(HKEY root, const std::string &path);
// Creates the key (with its parents) when it is not there yet.
bool CreateKey(HKEY root, const std::string &path);
// Sets a REG_SZ value, creating the key when needed; a null name is the key's default value.
// value is UTF-8.
bool SetString(HKEY root, const std::string &path, const char *name, const std::string &value);

// Gives the key a protected DACL that denies Administrators reading it (as malware guards
// its key), while still granting them WRITE_DAC and DELETE so a test can undo it.
bool ProtectKeyFromReading(HKEY root, const std::string &path);
// Gives a key protected that way an ordinary DACL again; true when the key is absent.
bool UnprotectKey(HKEY root, const std::string &path);
// The key is there but closed to reading.
bool KeyExistsUnreadable(HKEY root, const std::string &path);
