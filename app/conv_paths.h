#pragma once
// How the conversion form names things: a path's file name, folder and extension on "/"
// paths, and where the converted file of a source goes.
#include <string>
#include <string_view>

namespace sv::app {

// The text after the last "/".
std::string PathFileName(std::string_view path);
// The text before the last "/"; the root keeps its "/".
std::string PathFolder(std::string_view path);
// From the last "." of the file name to the end, the "." included; empty without one.
std::string PathExtension(std::string_view path);
// The path with the file name's extension replaced (or, without one, appended).
std::string ChangePathExtension(std::string_view path, std::string_view extension);

// The converted file of `source`: its name with `extension`, beside the source when
// `sameFolder`, else in the save folder, whether or not its text ends in "/" (the rip joins
// its tracks the same way).
std::string ConvertedPath(std::string_view source, std::string_view extension, bool sameFolder,
                          std::string_view saveFolder);

} // namespace sv::app
