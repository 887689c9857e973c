// Test support: the tool's own console texts, as the end-to-end tests expect them.
#pragma once

#include <string>

#include "support/subprocess.h"

namespace console_text {

inline const std::string kAskInput = " Give file containing Weight Data  :  ";
inline const std::string kAskOutput = " File to write the processed data  :  ";
inline const std::string kAskUnit = " Mass unit (kg or tonnes. Def=tonnes): ";
inline const std::string kAskSpread = " Number of nodes to spread mass /1/  : ";
inline const std::string kAskX = " Skip Masses outside Xmin/Xmax  (no) ? ";
inline const std::string kAskY = " Skip Masses outside Ymin/Ymax  (no) ? ";
inline const std::string kAskZ = " Skip Masses outside Zmin/Zmax  (no) ? ";
inline const std::string kRangeX = "  .. Give X-min and X-max            : ";
inline const std::string kRangeY = "  .. Give Y-min and Y-max            : ";
inline const std::string kRangeZ = "  .. Give Z-min and Z-max            : ";
inline const std::string kNotice =
    testing_support::crlf({"", "       Processing Weight Data ... ", ""});

}  // namespace console_text
