#pragma once
// The warning a server gives when a freed plug-in left something of its code behind (a window
// whose procedure was in the library): the host blames that plug-in for it and retires the
// server before it serves another.
constexpr char kLeftBehindPrefix[] = "Left behind after the library was freed: ";
