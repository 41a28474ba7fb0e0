#pragma once
// ".proj" files of family 24: the <Reg elements inside <Global> become
// 3-byte register-write records: register OR 0x20, 1, data byte.
#include <string>

struct VltContext;

// Sets RecordCount (elements stored) and DataEndIndex (bytes written). A value
// that is not a number throws EConvertError.
void ParseProjFile(VltContext &ctx, const std::string &fileName);

// One element (the text from its "<"). Returns false, storing nothing, when
// its records would run past DataBuffer.
bool ParseProjRegLine(VltContext &ctx, const std::string &text);
