#pragma once

#include <string>

namespace vorn {

// Who plays, as the sound server's mixer shows it: the program's name, its id (the desktop
// entry's, without ".desktop"), the icon theme's name of its icon and what kind of sound it is
// (a media role: "music", "production", ...). Empty fields are not passed on. The window's
// wave-out devices and the live stream carry one each.
struct WaveOutClient
{
    std::string name;
    std::string id;
    std::string iconName;
    std::string role;
};

} // namespace vorn
