// The GLUT calls the show makes, for programs that run it offscreen in virtual time
// (see offline_glut.h). glutInit, glutCreateWindow and glutMainLoop are each program's own.
#include "offline/offline_glut.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/glut.h"
#include "platform/offscreen_gl.h"
#include "platform/pointer_count.h"

namespace {

constexpr GLenum PACK_INVERT = 0x8758;  // GL_PACK_INVERT_MESA: glReadPixels hands rows over top row first

// Whether the context reads rows back top first (GL_MESA_pack_invert): written by openOfflineWindow.
bool readsTopDown = false;
// One row of pixels, for turning a frame upside down without that: sized by openOfflineWindow.
std::vector<uint8_t> rowScratch;

}  // namespace

OfflineGlut offlineGlut;

void readFrame(uint8_t* bgr, int width, int height)
{
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (readsTopDown) {
        glPixelStorei(PACK_INVERT, GL_TRUE);
    }
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, bgr);
    if (readsTopDown) {
        glPixelStorei(PACK_INVERT, GL_FALSE);
    } else {
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
            std::memcpy(rowScratch.data(), bgr + top * rowBytes, rowBytes);
            std::memcpy(bgr + top * rowBytes, bgr + bottom * rowBytes, rowBytes);
            std::memcpy(bgr + bottom * rowBytes, rowScratch.data(), rowBytes);
        }
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

// The offscreen buffer is single, RGBA and the capture's size: display mode, window size
// and position have nothing to set.
void glutInitDisplayMode(unsigned int) {}

// See glutInitDisplayMode.
void glutInitWindowSize(int, int) {}

// See glutInitDisplayMode.
void glutInitWindowPosition(int, int) {}

bool openOfflineWindow(int width, int height)
{
    if (!createOffscreenGL(width, height)) {
        return false;
    }
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    readsTopDown = extensions != nullptr && std::strstr(extensions, "GL_MESA_pack_invert") != nullptr;
    rowScratch.assign(static_cast<size_t>(width) * 3, 0);
    offlineGlut.windowId = 1;
    return true;
}

// Keeps the pointer's display count, as the live show does; there is no pointer to show.
int ShowCursor(bool visible)
{
    return countPointer(visible);
}

// Registers the display handler.
void glutDisplayFunc(void (*handler)())
{
    offlineGlut.display = handler;
}

// Registers the keyboard handler.
void glutKeyboardFunc(void (*handler)(unsigned char, int, int))
{
    offlineGlut.keyboard = handler;
}

// Registers the idle handler.
void glutIdleFunc(void (*handler)())
{
    offlineGlut.idle = handler;
}

// Asks the main loop to draw once more.
void glutPostRedisplay()
{
    offlineGlut.redisplayRequested = true;
}

// Marks the end of a picture: the colour buffer holds a new frame.
void glutSwapBuffers()
{
    ++offlineGlut.framesSwapped;
}

// The colour buffer already fills the picture: the canvas stretches over all of it.
void glutFullScreen() {}

