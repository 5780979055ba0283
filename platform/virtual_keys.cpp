#include "platform/virtual_keys.h"

#include <X11/keysym.h>

namespace lum {

namespace {

// Single keys outside the runs below.
struct Single {
    int virtualKey;
    quint32 keysym;
};
constexpr Single singles[] = {
    {13, XK_Return},     {27, XK_Escape},    {32, XK_space},      {33, XK_Prior},
    {34, XK_Next},       {35, XK_End},       {36, XK_Home},       {45, XK_Insert},
    {46, XK_Delete},     {186, XK_colon},    {187, XK_plus},      {188, XK_comma},
    {189, XK_minus},     {190, XK_period},   {191, XK_slash},     {192, XK_grave},
};

// Runs of virtual keys whose keysyms follow one another in the same order.
struct Run {
    int first;
    int last;
    quint32 keysym;
};
constexpr Run runs[] = {
    {37, 40, XK_Left},          // Left, Up, Right, Down
    {48, 57, XK_0},             // the digit keys
    {65, 90, XK_a},             // the letter keys
    {96, 105, XK_KP_0},         // the keypad digits
    {106, 111, XK_KP_Multiply}, // keypad * + separator - . /
    {112, 135, XK_F1},          // F1..F24
};

} // namespace

quint32 keysymForVirtualKey(int vk)
{
    for (const Run &r : runs) {
        if (vk >= r.first && vk <= r.last)
            return r.keysym + quint32(vk - r.first);
    }
    for (const Single &s : singles) {
        if (s.virtualKey == vk)
            return s.keysym;
    }
    return 0;
}

} // namespace lum
