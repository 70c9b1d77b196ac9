#include "offline/moments.h"

#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "offline/virtual_clock.h"
#include "platform/module_render.h"

bool readWholeNumber(const char* text, int& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < -1000000 || parsed > 1000000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool readPictureSize(const char* text, int& width, int& height)
{
    const char* cross = std::strchr(text, 'x');
    if (cross == nullptr) {
        return false;
    }
    const std::string left(text, cross);
    return readWholeNumber(left.c_str(), width) && readWholeNumber(cross + 1, height) && width >= MIN_PICTURE_SIDE &&
           height >= MIN_PICTURE_SIDE && width <= MAX_PICTURE_SIDE && height <= MAX_PICTURE_SIDE;
}

bool readShowMoment(const char* text, ShowMoment& moment)
{
    const char* colon = std::strchr(text, ':');
    if (colon != nullptr) {
        const std::string order(text, colon);
        moment = ShowMoment{};
        return readWholeNumber(order.c_str(), moment.order) && readWholeNumber(colon + 1, moment.row) &&
               moment.order >= 0 && moment.row >= 0;
    }
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(seconds) || seconds < 0.0 || seconds > MAX_SHOW_SECONDS) {
        return false;
    }
    moment = ShowMoment{};
    moment.seconds = seconds;
    return true;
}

bool momentCount(const ShowMoment& moment, const char* songPath, int64_t& count, std::string& error)
{
    double seconds = moment.seconds;
    if (moment.order >= 0) {
        ModuleRender song;
        if (!loadModuleFile(song, songPath, DEFAULT_MIX_RATE, false)) {
            error = std::string("cannot read the song ") + songPath;
            return false;
        }
        seconds = openmpt_module_set_position_order_row(song.decoder, moment.order, moment.row);
        const bool reached = openmpt_module_get_current_order(song.decoder) == moment.order &&
                             openmpt_module_get_current_row(song.decoder) == moment.row;
        unloadModule(song);
        if (!reached) {
            error = std::to_string(moment.order) + ":" + std::to_string(moment.row) +
                    ": the song has no such order and row";
            return false;
        }
    }
    count = seconds < 0.0 ? -1 : secondsCount(seconds);
    return true;
}
