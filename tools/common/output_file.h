// Output files of the tools (tqvconvert's databases, kovra's charts): a new
// path or a regular file, never written through a link or into a pipe, a
// device or a folder, and replaced only by a complete file.
#ifndef KOVRAP_TOOLS_OUTPUT_FILE_H
#define KOVRAP_TOOLS_OUTPUT_FILE_H

#include <filesystem>
#include <string>

namespace kovrap_tools {

// True, with a one-line message naming the path, when the target is
// something other than a regular file or a path that does not exist yet (a
// folder, a symbolic link, a device, a pipe), or cannot be inspected.
bool outputProblem(const std::filesystem::path &target, std::string &error);

// Writes the text to a new file beside the target (created there, never
// opened through an existing name) and renames it over the target once the
// whole text is written. A target that was a regular file lends the new file
// its permission bits (on Linux); the new file is a new file all the same,
// and a hard link to the old one keeps the old text. On failure returns false with a one-line
// message; the target is as it was and the new file is gone.
bool writeAtomically(const std::filesystem::path &target, const std::string &text,
                     std::string &error);

} // namespace kovrap_tools

#endif
