#pragma once
// Everything of the show that carries from one moment to the next, listed here once: the show
// state, the random sequence, the particles, the rings' depths, the frame timer, the wish to
// draw, and the OpenGL state the scenes leave for the next frame. Saved and put back whole (the
// studio's snapshots, the tests). The show's other variables are set up while it loads and never
// change after (LOADED_ONCE). A field added to ShowState and not to showFields fails the build;
// a new variable of the show that is in neither list fails the quick suite (it holds both lists
// against the variables the show's library defines).
#include <GL/gl.h>

#include <atomic>
#include <cstddef>
#include <tuple>
#include <utility>

#include "app/frame_timer.h"
#include "assets/textures.h"
#include "gfx/particles.h"
#include "gfx/rings.h"
#include "offline/offline_glut.h"
#include "shared/random.h"
#include "sync/show_state.h"

// The variables carried whole besides the show state and the OpenGL state, as X(member, variable).
#define K3L_CARRIED_VARIABLES(X)                  \
    X(random, k3l::randState)                     \
    X(swarm, particles)                           \
    X(rings, ringDepths)                          \
    X(timer, frameTimer)                          \
    X(redisplay, offlineGlut.redisplayRequested)

// The show's variables set up once while it loads (the images' slots, the degree tables, the
// ring outline, the flag of the first random draw) or by the program (the song), as the show's
// library names them. Constants are not listed: they never change.
#define K3L_IMAGE(slot, file) #slot,
inline constexpr const char* LOADED_ONCE[] = {
#include "assets/image_table.h"
    "sinTable", "cosTable", "ringOutline", "tickRandomDrawn", "song"};
#undef K3L_IMAGE

// The names of the carried variables, as the show's library names them.
#define K3L_CARRIED_NAME(member, variable) #variable,
inline constexpr const char* CARRIED_NAMES[] = {"show", K3L_CARRIED_VARIABLES(K3L_CARRIED_NAME)};
#undef K3L_CARRIED_NAME

// Every field of the show state, in declaration order, as references: the structured binding
// must name them all, so a field added to ShowState fails to compile here until it is added.
inline auto showFields(ShowState& state)
{
    auto& [scene, tick, pulse, beatFlash, showVersus, wisdomAlt, spinX, spinY, spinZ, fadeActive, quitRequested,
           tickRandom, fadeLevel, overlayMode, overlayPhase] = state;
    return std::tie(scene, tick, pulse, beatFlash, showVersus, wisdomAlt, spinX, spinY, spinZ, fadeActive,
                    quitRequested, tickRandom, fadeLevel, overlayMode, overlayPhase);
}

// A field's value: an atomic's loaded, a plain one's copied.
template <typename T>
T plainValue(const std::atomic<T>& field)
{
    return field.load();
}
template <typename T>
T plainValue(const T& field)
{
    return field;
}

// The show state's values, in declaration order.
inline auto showValues(ShowState& state)
{
    return std::apply([](auto&... field) { return std::make_tuple(plainValue(field)...); }, showFields(state));
}

// The show state as plain values, one comparable tuple.
using ShowValues = decltype(showValues(show));

// Stores a value into a field: an atomic's stored, a plain one's assigned.
template <typename T>
void putValue(std::atomic<T>& field, T value)
{
    field.store(value);
}
template <typename T>
void putValue(T& field, T value)
{
    field = value;
}

// Puts the values back into the show state.
inline void putShowValues(ShowState& state, const ShowValues& values)
{
    std::apply([&values](auto&... field) {
        std::apply([&field...](const auto&... value) { (putValue(field, value), ...); }, values);
    }, showFields(state));
}

// The OpenGL state the scenes leave behind for the next frame.
struct GlState {
    GLfloat clear[4];
    GLfloat color[4];
    GLint texture;
    GLint filters[IMAGE_COUNT][2];  // minifying and magnifying filter of each image's texture
    GLboolean blend, texture2d, cull;
    GLint blendSource, blendDestination;
    GLint matrixMode;
    GLfloat projection[16], modelview[16];
    GLfloat pointSize, lineWidth;
};

// The type of a carried variable, as a member of CarriedState.
#define K3L_CARRIED_MEMBER(member, variable) std::remove_reference_t<decltype(variable)> member;

// Everything that carries from one moment to the next.
struct CarriedState {
    ShowValues show;
    K3L_CARRIED_VARIABLES(K3L_CARRIED_MEMBER)
    GlState gl;
};
#undef K3L_CARRIED_MEMBER

// Reads everything that carries into `state`.
void saveCarried(CarriedState& state);

// Puts everything that carries back as `state` has it.
void loadCarried(const CarriedState& state);
