// Path strings: folders, their parents, names and levels.
//
// A folder string ends with one backslash once it names a folder ("C:\Program Files\",
// "C:\"): a file's path is then the folder and the name, and a prefix of a path is a whole
// folder. The functions below take a folder with or without its backslash and give folders
// back with it; an empty string is no folder. Text typed by the user, and paths handed to the
// system's folder calls, are kept without it (StripTrailingBackslash).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

std::string StripTrailingBackslash(std::string path);
// The folder with its backslash; empty stays empty.
std::string WithBackslash(std::string folder);
// The folder that holds `path` (a file, or a folder with or without its backslash), with its
// backslash; empty when there is none ("C:\" and "name" have none). '/' separates too: the
// packaging tool extracts with this code on other systems.
std::string Parent(const std::string& path);
// The last name of `path`: "Corvane" for "C:\Apps\Corvane\", "kvx.exe" for "C:\kvx.exe".
std::string LastName(const std::string& path);
// The names of the levels of `folder` below `base`, outermost first ("Apps", "Corvane" for
// C:\Apps\Corvane below C:\); empty when `folder` is `base` or not below it. Case-insensitive.
std::vector<std::string> LevelsOf(const std::string& base, const std::string& folder);
// `inner` (a folder or a file) is the folder `outer` or lies below it. Case-insensitive; either
// may end with a backslash.
bool Within(std::string_view inner, std::string_view outer);

}  // namespace corvane
