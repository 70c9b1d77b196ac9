#include "offline/carried.h"

#include <cstring>

namespace {

// Reads the OpenGL state into `gl`.
void saveGl(GlState& gl)
{
    glGetFloatv(GL_COLOR_CLEAR_VALUE, gl.clear);
    glGetFloatv(GL_CURRENT_COLOR, gl.color);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &gl.texture);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        const GLuint name = IMAGE_SLOTS[i].slot->texName;
        gl.filters[i][0] = gl.filters[i][1] = 0;
        if (name != 0) {
            glBindTexture(GL_TEXTURE_2D, name);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &gl.filters[i][0]);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &gl.filters[i][1]);
        }
    }
    glBindTexture(GL_TEXTURE_2D, gl.texture);
    gl.blend = glIsEnabled(GL_BLEND);
    gl.texture2d = glIsEnabled(GL_TEXTURE_2D);
    gl.cull = glIsEnabled(GL_CULL_FACE);
    glGetIntegerv(GL_BLEND_SRC, &gl.blendSource);
    glGetIntegerv(GL_BLEND_DST, &gl.blendDestination);
    glGetIntegerv(GL_MATRIX_MODE, &gl.matrixMode);
    glGetFloatv(GL_PROJECTION_MATRIX, gl.projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, gl.modelview);
    glGetFloatv(GL_POINT_SIZE, &gl.pointSize);
    glGetFloatv(GL_LINE_WIDTH, &gl.lineWidth);
}

// Sets or clears one capability.
void setEnabled(GLenum capability, GLboolean on)
{
    if (on) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

// Puts the OpenGL state of `gl` back.
void loadGl(const GlState& gl)
{
    glClearColor(gl.clear[0], gl.clear[1], gl.clear[2], gl.clear[3]);
    glColor4fv(gl.color);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        const GLuint name = IMAGE_SLOTS[i].slot->texName;
        if (name != 0) {
            glBindTexture(GL_TEXTURE_2D, name);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, gl.filters[i][0]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, gl.filters[i][1]);
        }
    }
    glBindTexture(GL_TEXTURE_2D, gl.texture);
    setEnabled(GL_BLEND, gl.blend);
    setEnabled(GL_TEXTURE_2D, gl.texture2d);
    setEnabled(GL_CULL_FACE, gl.cull);
    glBlendFunc(gl.blendSource, gl.blendDestination);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(gl.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(gl.modelview);
    glMatrixMode(gl.matrixMode);
    glPointSize(gl.pointSize);
    glLineWidth(gl.lineWidth);
}

}  // namespace

#define K3L_SAVE_VARIABLE(member, variable) std::memcpy(&state.member, &(variable), sizeof(variable));
void saveCarried(CarriedState& state)
{
    state.show = showValues(show);
    K3L_CARRIED_VARIABLES(K3L_SAVE_VARIABLE)
    saveGl(state.gl);
}
#undef K3L_SAVE_VARIABLE

#define K3L_LOAD_VARIABLE(member, variable) std::memcpy(&(variable), &state.member, sizeof(variable));
void loadCarried(const CarriedState& state)
{
    putShowValues(show, state.show);
    K3L_CARRIED_VARIABLES(K3L_LOAD_VARIABLE)
    loadGl(state.gl);
}
#undef K3L_LOAD_VARIABLE
