// eiftool pack --hashes, --expires, --serial, --setup-name: tags written into a description's own
// bytes, "File Hashes" from the files that will be published with it.
#pragma once

#include <string>

// plain: the description's bytes as they will be packed (8-bit text, or UTF-16LE after FF FE).
// Adds "[File Hashes]" with one sha256sum line per listed local name, hashed from folder, in
// front of the "[End]" header (or in place of an existing "File Hashes" tag, which is
// replaced). Every other byte stays as it was, in the file's own encoding and line ends.
// False with a reason, and withhashes untouched, when the description does not load, a
// listed file is missing from folder, a name cannot be written as such a line, or the result
// would not read back as exactly these hashes and the same list of files.
bool AddFileHashes(const std::string& plain, const std::wstring& folder, std::string& withHashes, std::string& error);

// Writes "[tag]" with the one-line value in place of an existing tag of that name, else in front
// of "[End]", in the file's own encoding and line ends. False with a reason, and edited
// untouched, when the description does not load or would not read back this value and the same
// list of files.
bool SetDescriptionTag(const std::string& plain, const std::wstring& tag, const std::wstring& value,
                       std::string& edited, std::string& error);
