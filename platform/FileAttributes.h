#pragma once
// What a file carries besides its bytes, for the file writer: owner, mode,
// extended attributes and ACL, and the mode a new file gets.
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/FileLocation.h"

using TXattrs = std::vector<std::pair<std::string, std::string>>;

// All extended attributes of the located file, its ACL among them; false when
// any cannot be read. File capabilities are left out: a write drops them too.
bool ReadXattrs(const TLocation &at, TXattrs &into);

// Gives a finished new file (private so far) the mode and ACL open(2) would
// have given it: the folder's default ACL masked by 0666, or 0666 less the
// umask. 0, or the error.
int DressAsNew(int fd, int folder);

enum class TDressed { Done, CannotCopy, Failed };

// Gives a finished private file the old file's owner, attributes, ACL and
// mode, each step never making it more open than it was or than the old
// file: the owner first (a change of owner clears the set-id bits), then the
// ACL, which sets the permission bits with it, and the mode last. CannotCopy
// when the owner or an attribute cannot be given; Failed with `err` set
// otherwise.
TDressed DressLike(int fd, const struct stat &old, const TXattrs &xattrs, int &err);
