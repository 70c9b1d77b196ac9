#include "studio/view.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "offline/virtual_clock.h"
#include "studio/replay.h"
#include "sync/sync_codes.h"


ViewState viewState;

namespace {

constexpr const char* FONT_FILE = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";  // Debian's fonts-dejavu-core
constexpr int TEXT_PIXELS = 11;     // pixels, the text's size
constexpr int PATTERN_TOP = 4;      // pixels below the picture: the pattern strip, with row and beat ticks
constexpr int LOUDNESS_TOP = 18;    // the song's loudness
constexpr int SCENE_TOP = 32;       // the scene strip
constexpr int EVENT_TOP = 48;       // the event marks and their words
constexpr int STRIP_HEIGHT = 12;    // pixels
constexpr int SCENE_HEIGHT = 14;    // pixels
constexpr int STATUS_TOP = 74;      // the status line's top
constexpr int MESSAGE_TOP = 92;     // the message line's top
constexpr int LABEL_GAP = 4;        // pixels kept between two labels
constexpr int TICK_SPACING = 3;     // pixels rows (or beats) must lie apart for their ticks to show
constexpr double MAX_ZOOM = 4096.0; // the closest zoom: a few rows across the window
constexpr double QUIET_DB = -60.0;  // dB RMS at the loudness strip's foot; 0 dB at its top
constexpr int MIN_WIDTH = 640;      // pixels: the status line fits however small the picture
constexpr uint32_t BACKGROUND = 0x202024;  // 0xRRGGBB
constexpr uint32_t SCENE_COLOURS[8] = {0x8a5a44, 0x4f7cac, 0x6aa84f, 0xc9a227, 0x9b59b6, 0x2bb3a3, 0xd35400, 0x7f8c8d};

// The window and its image: written by openView, read by drawView and nextViewInput.
struct View {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    Atom closeAtom = 0;
    int width = 0;          // pixels
    int height = 0;         // pixels, picture and timeline
    int pictureWidth = 0;   // pixels
    int pictureHeight = 0;  // pixels
    int pictureLeft = 0;    // pixels: the picture is centred above the timeline
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
    FT_Library fonts = nullptr;
    FT_Face face = nullptr;
    bool dragging = false;  // the first button is held on the timeline
    std::string title;      // the status line the window's title shows
    double zoom = 1.0;      // how many times the timeline's span fits the show: 1 shows all of it
    int64_t from = 0;       // virtual count at the timeline's left edge
};
View view;

// Fills a rectangle, clipped to the image.
void fill(int x, int y, int w, int h, uint32_t colour)
{
    const int left = std::max(0, x), right = std::min(view.width, x + w);
    const int top = std::max(0, y), bottom = std::min(view.height, y + h);
    if (left >= right) {
        return;
    }
    for (int row = top; row < bottom; ++row) {
        std::fill(view.pixels.begin() + row * view.width + left, view.pixels.begin() + row * view.width + right,
                  colour);
    }
}

// Writes `text` with its baseline at (x, y) in `colour`; returns the x after it.
int text(int x, int y, const std::string& text, uint32_t colour)
{
    if (view.face == nullptr) {
        return x;
    }
    for (const char c : text) {
        if (FT_Load_Char(view.face, static_cast<unsigned char>(c), FT_LOAD_RENDER) != 0) {
            continue;
        }
        const FT_GlyphSlot glyph = view.face->glyph;
        for (unsigned row = 0; row < glyph->bitmap.rows; ++row) {
            const int py = y - glyph->bitmap_top + static_cast<int>(row);
            for (unsigned col = 0; col < glyph->bitmap.width; ++col) {
                const int px = x + glyph->bitmap_left + static_cast<int>(col);
                if (px < 0 || py < 0 || px >= view.width || py >= view.height) {
                    continue;
                }
                const unsigned cover = glyph->bitmap.buffer[row * glyph->bitmap.pitch + col];
                uint32_t& at = view.pixels[py * view.width + px];
                uint32_t mixed = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const unsigned over = (colour >> shift) & 0xff, under = (at >> shift) & 0xff;
                    mixed |= ((over * cover + under * (255 - cover)) / 255) << shift;
                }
                at = mixed;
            }
        }
        x += static_cast<int>(glyph->advance.x >> 6);
    }
    return x;
}

// The virtual counts the timeline spans.
int64_t timelineSpan()
{
    return std::max<int64_t>(1, static_cast<int64_t>(static_cast<double>(replayTables.endCount) / view.zoom));
}

// Keeps the timeline inside the show.
void clampTimeline()
{
    view.from = std::clamp<int64_t>(view.from, 0, std::max<int64_t>(0, replayTables.endCount - timelineSpan()));
}

// The x of a virtual count on the timeline (outside it when the count is not shown).
int timelineX(int64_t count)
{
    return static_cast<int>((count - view.from) * (view.width - 1) / timelineSpan());
}

// The virtual count at a timeline x.
int64_t timelineCount(int x)
{
    return view.from + static_cast<int64_t>(std::clamp(x, 0, view.width - 1)) * timelineSpan() / (view.width - 1);
}

// The width `text` takes in pixels.
int textWidth(const std::string& text)
{
    int width = 0;
    for (const char c : text) {
        if (view.face != nullptr && FT_Load_Char(view.face, static_cast<unsigned char>(c), FT_LOAD_DEFAULT) == 0) {
            width += static_cast<int>(view.face->glyph->advance.x >> 6);
        }
    }
    return width;
}

// Row ticks under the pattern strip, beat ticks longer, where they lie far enough apart to tell.
void drawRows(int top)
{
    const std::vector<SongRow>& rows = replayTables.rows;
    if (rows.size() < 2) {
        return;
    }
    const double perRow = static_cast<double>(replayTables.endCount) / static_cast<double>(rows.size());
    const double rowPixels = perRow * (view.width - 1) / static_cast<double>(timelineSpan());
    int beatEvery = 0;
    for (size_t i = 1; i < rows.size() && beatEvery == 0; ++i) {
        beatEvery = rows[i].beat ? static_cast<int>(i) : 0;
    }
    const bool showRows = rowPixels >= TICK_SPACING;
    if (!showRows && rowPixels * std::max(1, beatEvery) < TICK_SPACING) {
        return;
    }
    const auto first = std::lower_bound(rows.begin(), rows.end(), view.from,
                                        [](const SongRow& row, int64_t count) { return row.count < count; });
    for (auto row = first; row != rows.end() && row->count <= view.from + timelineSpan(); ++row) {
        if (row->beat || showRows) {
            const int length = row->beat ? 6 : 3;
            fill(timelineX(row->count), top + PATTERN_TOP + STRIP_HEIGHT - length, 1, length, row->beat ? 0xe0e0e0 : 0x9090a0);
        }
    }
}

// The song's loudness (dB RMS over every 10 ms) as far as its sound is rendered, the loudest in each column.
void drawLoudness(int top)
{
    const SongTake& take = replaySongTake();
    const int64_t blocks = std::min<int64_t>(take.ready.load() / LOUDNESS_FRAMES, static_cast<int64_t>(take.loudness.size()));
    const int64_t countsPerBlock = takeFrameCount(LOUDNESS_FRAMES);
    for (int x = 0; x < view.width; ++x) {
        const int64_t begin = timelineCount(x) / countsPerBlock;
        const int64_t end = std::min(blocks, std::max(begin + 1, timelineCount(x + 1) / countsPerBlock));
        float loudest = 0.0f;
        for (int64_t block = begin; block < end; ++block) {
            loudest = std::max(loudest, take.loudness[static_cast<size_t>(block)]);
        }
        if (loudest > 0.0f) {
            const double db = 20.0 * std::log10(loudest);
            const int height = static_cast<int>(std::clamp((db - QUIET_DB) / -QUIET_DB, 0.0, 1.0) * STRIP_HEIGHT);
            fill(x, top + LOUDNESS_TOP + STRIP_HEIGHT - height, 1, height, 0x5f8fbf);
        }
    }
}

}  // namespace

std::string timelineWords(uint8_t code)
{
    if (const char* label = syncLabel(code)) {
        return label;
    }
    char text[8];
    std::snprintf(text, sizeof text, "Z%02X", code);
    return text;
}

namespace {

// Every event's mark, and its words: marks whose words would run into each other share one label
// ("beat x12", or the first's words and how many more), which zooming in spreads.
void drawEvents(int top)
{
    const std::vector<SongEvent>& events = replayTables.events;
    const auto first = std::lower_bound(events.begin(), events.end(), view.from,
                                        [](const SongEvent& event, int64_t count) { return event.count < count; });
    const auto last = std::upper_bound(events.begin(), events.end(), view.from + timelineSpan(),
                                       [](int64_t count, const SongEvent& event) { return count < event.count; });
    for (auto event = first; event != last;) {
        const int x = timelineX(event->count);
        std::string words = timelineWords(event->parameter);
        const int room = textWidth(words + " x00") + LABEL_GAP;  // the label's width, with room for a count
        auto end = event + 1;
        bool alike = true;
        while (end != last && timelineX(end->count) < x + room) {
            alike = alike && end->parameter == event->parameter;
            ++end;
        }
        const size_t more = static_cast<size_t>(end - event);
        if (more > 1) {
            words += (alike ? " x" : " +") + std::to_string(alike ? more : more - 1);
        }
        for (auto mark = event; mark != end; ++mark) {
            fill(timelineX(mark->count), top + EVENT_TOP, 1, 8, 0xe0e0e0);
        }
        text(std::min(x, view.width - textWidth(words)), top + EVENT_TOP + 20, words, 0xb0b0b0);
        event = end;
    }
}

// The keys, over the picture.
void drawKeys()
{
    static const char* const KEYS[] = {
        "Space  pause / play",          "Left Right  1 s  (Shift: 10 s)", "Page Up/Down  previous / next event",
        "[ ]  previous / next pattern", "Home  the start",              ", .  a tick back / on (paused)",
        "i o  loop in / out",           "l  loop on / off",             "r  reload the module and images",
        "c  render the loop to MP4",    "+ -  or the wheel: zoom",      "click the timeline  seek",
        "?  these keys",                "Escape  quit",
    };
    const int lines = static_cast<int>(std::size(KEYS));
    const int boxWidth = 260, boxHeight = lines * 14 + 10;
    const int left = std::max(0, (view.width - boxWidth) / 2), top = std::max(0, (view.pictureHeight - boxHeight) / 2);
    fill(left, top, boxWidth, boxHeight, 0x101014);
    for (int i = 0; i < lines; ++i) {
        text(left + 10, top + 16 + i * 14, KEYS[i], 0xf0f0f0);
    }
}

// Draws the timeline's strips, marks, loop range and playhead, and the status line.
void drawTimeline(const ViewState& state)
{
    const int top = view.pictureHeight;
    fill(0, top, view.width, TIMELINE_HEIGHT, BACKGROUND);
    clampTimeline();
    for (size_t order = 0; order < state.orderStarts.size(); ++order) {
        const int x = timelineX(state.orderStarts[order]);
        const int next = order + 1 < state.orderStarts.size() ? timelineX(state.orderStarts[order + 1]) : view.width;
        fill(x, top + PATTERN_TOP, next - x, STRIP_HEIGHT, order % 2 == 0 ? 0x3a3a44 : 0x4a4a56);
    }
    drawRows(top);
    drawLoudness(top);
    const std::vector<SceneStart>& scenes = replayTables.scenes;
    for (size_t i = 0; i < scenes.size(); ++i) {
        const int x = std::max(0, timelineX(scenes[i].count));
        const int next = std::min(view.width, i + 1 < scenes.size() ? timelineX(scenes[i + 1].count) : timelineX(state.recorded));
        fill(x, top + SCENE_TOP, next - x, SCENE_HEIGHT, SCENE_COLOURS[scenes[i].scene & 7]);
        const int32_t scene = scenes[i].scene;
        text(x + 2, top + SCENE_TOP + 11, scene >= 0 && scene < SCENE_COUNT ? SCENE_NAMES[scene] : std::to_string(scene),
             0xffffff);
    }
    drawEvents(top);
    if (state.loopIn >= 0 || state.loopOut >= 0) {
        const int in = state.loopIn >= 0 ? timelineX(state.loopIn) : 0;
        const int out = state.loopOut >= 0 ? timelineX(state.loopOut) : view.width - 1;
        const uint32_t colour = state.looping ? 0x30d060 : 0x607060;
        fill(in, top + PATTERN_TOP - 3, std::max(1, out - in + 1), 2, colour);
        fill(in, top + PATTERN_TOP - 3, 1, EVENT_TOP + 8, colour);
        fill(out, top + PATTERN_TOP - 3, 1, EVENT_TOP + 8, colour);
    }
    fill(timelineX(state.position), top, 2, STATUS_TOP - 4, 0xff4040);
    text(4, top + STATUS_TOP + 12, state.status, 0xf0f0f0);
    text(4, top + MESSAGE_TOP + 12, state.message, 0xffc060);
}

}  // namespace

bool openView(int width, int height, std::string& error)
{
    view.display = XOpenDisplay(nullptr);
    if (view.display == nullptr) {
        error = "no X display (DISPLAY is unset or unreachable)";
        return false;
    }
    view.width = std::max(width, MIN_WIDTH);
    view.pictureWidth = width;
    view.pictureHeight = height;
    view.pictureLeft = (view.width - width) / 2;
    view.height = height + TIMELINE_HEIGHT;
    view.pixels.assign(static_cast<size_t>(view.width) * view.height, 0);
    const int screen = DefaultScreen(view.display);
    view.window = XCreateSimpleWindow(view.display, RootWindow(view.display, screen), 0, 0, view.width, view.height,
                                      0, 0, 0);
    XStoreName(view.display, view.window, "k3lvana studio");
    XSelectInput(view.display, view.window,
                 KeyPressMask | ButtonPressMask | ButtonReleaseMask | Button1MotionMask | ExposureMask);
    view.closeAtom = XInternAtom(view.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(view.display, view.window, &view.closeAtom, 1);
    XMapWindow(view.display, view.window);
    view.gc = XCreateGC(view.display, view.window, 0, nullptr);
    view.image = XCreateImage(view.display, DefaultVisual(view.display, screen), DefaultDepth(view.display, screen),
                              ZPixmap, 0, reinterpret_cast<char*>(view.pixels.data()), view.width, view.height, 32, 0);
    if (FT_Init_FreeType(&view.fonts) != 0 || FT_New_Face(view.fonts, FONT_FILE, 0, &view.face) != 0) {
        view.face = nullptr;  // no text, the rest works (fonts-dejavu-core provides the font)
    } else {
        FT_Set_Pixel_Sizes(view.face, 0, TEXT_PIXELS);
    }
    XFlush(view.display);
    return true;
}

void drawView(const uint8_t* bgr, const ViewState& state)
{
    if (view.display == nullptr) {
        return;
    }
    for (int y = 0; y < view.pictureHeight; ++y) {
        const uint8_t* from = bgr + static_cast<size_t>(y) * view.pictureWidth * 3;
        uint32_t* to = &view.pixels[static_cast<size_t>(y) * view.width + view.pictureLeft];
        for (int x = 0; x < view.pictureWidth; ++x, from += 3) {
            to[x] = uint32_t{from[0]} | uint32_t{from[1]} << 8 | uint32_t{from[2]} << 16;
        }
    }
    drawTimeline(state);
    if (state.keys) {
        drawKeys();
    }
    if (state.status != view.title) {  // the title carries the status line, for window lists and the tests
        view.title = state.status;
        char title[256];
        std::snprintf(title, sizeof title, "k3lvana studio %s", view.title.c_str());
        XStoreName(view.display, view.window, title);
    }
    XPutImage(view.display, view.window, view.gc, view.image, 0, 0, 0, 0, view.width, view.height);
    XFlush(view.display);
}

ViewInput nextViewInput(int64_t nanoseconds)
{
    ViewInput input;
    if (view.display == nullptr) {
        return input;
    }
    if (XPending(view.display) == 0) {
        pollfd wait{ConnectionNumber(view.display), POLLIN, 0};
        const timespec timeout{static_cast<time_t>(nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
        ppoll(&wait, 1, &timeout, nullptr);
        if (XPending(view.display) == 0) {
            return input;
        }
    }
    XEvent event;
    XNextEvent(view.display, &event);
    const int timelineY = view.pictureHeight;
    if (event.type == KeyPress) {
        input.kind = ViewInput::Key;
        input.keysym = XLookupKeysym(&event.xkey, 0);
        input.shift = (event.xkey.state & ShiftMask) != 0;
    } else if (event.type == ButtonPress && (event.xbutton.button == Button4 || event.xbutton.button == Button5)) {
        zoomView(event.xbutton.button == Button4 ? ZOOM_STEP : 1.0 / ZOOM_STEP, timelineCount(event.xbutton.x));
        input.kind = ViewInput::Redraw;
    } else if (event.type == ButtonPress && event.xbutton.button == Button1 && event.xbutton.y >= timelineY) {
        view.dragging = true;
        input.kind = ViewInput::Seek;
        input.count = timelineCount(event.xbutton.x);
    } else if (event.type == MotionNotify && view.dragging) {
        input.kind = ViewInput::Seek;
        input.count = timelineCount(event.xmotion.x);
    } else if (event.type == ButtonRelease) {
        view.dragging = false;
    } else if (event.type == Expose) {
        input.kind = ViewInput::Redraw;
    } else if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == view.closeAtom) {
        input.kind = ViewInput::Close;
    }
    return input;
}

void zoomView(double factor, int64_t around)
{
    const int x = timelineX(around);
    view.zoom = std::clamp(view.zoom * factor, 1.0, MAX_ZOOM);
    view.from = around - static_cast<int64_t>(std::clamp(x, 0, view.width - 1)) * timelineSpan() / (view.width - 1);
    clampTimeline();
}

void keepInView(int64_t count)
{
    if (count < view.from || count > view.from + timelineSpan()) {
        view.from = count - timelineSpan() / 2;
        clampTimeline();
    }
}

unsigned long viewWindowId()
{
    return view.window;
}
