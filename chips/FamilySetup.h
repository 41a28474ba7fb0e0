#pragma once
// Per-family sizes, checksum range and Chip Setting controls, run by the chip
// change handler for the family of the chosen chip. The chip name is passed
// along but not used.
#include <string>

struct VltContext;

void SetupFamily00(VltContext &ctx, const std::string &chipName = {});
void SetupFamily05(VltContext &ctx, const std::string &chipName = {});
void SetupFamily10(VltContext &ctx, const std::string &chipName = {});
void SetupFamily18(VltContext &ctx, const std::string &chipName = {});
void SetupFamily20(VltContext &ctx, const std::string &chipName = {});
void SetupFamily30(VltContext &ctx, const std::string &chipName = {});
void SetupFamily40(VltContext &ctx, const std::string &chipName = {});
void SetupFamilyE0(VltContext &ctx, const std::string &chipName = {});
void SetupFamilyOther(VltContext &ctx, const std::string &chipName = {});

// Leading 4-byte entries of DataBuffer whose first or second byte is non-zero, at most 32.
int CountImageEntries(const VltContext &ctx);
