// glBegin/glEnd for the show in the browser (see include/GL/gl.h): the current colour and
// texture coordinate are kept here and handed to emscripten's emulation with every vertex,
// in the same order each time, which is the one layout it draws right.
#define K3L_GL_UNROUTED
#include <GL/gl.h>

namespace {
// Whether a primitive is open: written by k3lBegin and k3lEnd, read by the colour and texture calls.
bool insidePrimitive = false;
// Whether 2D texturing is on: written by k3lEnable and k3lDisable, read by every vertex.
bool texturing = false;
// The current colour (RGBA, 0 to 1) and texture coordinate: written by the colour and
// texture calls, read by every vertex.
GLfloat currentColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
GLfloat currentTexCoord[2] = {0.0f, 0.0f};
}  // namespace

// Turns a capability on, noting texturing.
void k3lEnable(GLenum capability)
{
    texturing = texturing || capability == GL_TEXTURE_2D;
    glEnable(capability);
}

// Turns a capability off, noting texturing.
void k3lDisable(GLenum capability)
{
    texturing = texturing && capability != GL_TEXTURE_2D;
    glDisable(capability);
}

// Opens a primitive.
void k3lBegin(GLenum mode)
{
    insidePrimitive = true;
    glBegin(mode);
}

// Closes the primitive and draws it.
void k3lEnd()
{
    insidePrimitive = false;
    glEnd();
}

// Sets the current colour; outside a primitive GL takes it at once too.
void k3lColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    currentColor[0] = red;
    currentColor[1] = green;
    currentColor[2] = blue;
    currentColor[3] = alpha;
    if (!insidePrimitive) {
        glColor4f(red, green, blue, alpha);
    }
}

// The colour in bytes, 255 for full.
void k3lColor4ub(GLubyte red, GLubyte green, GLubyte blue, GLubyte alpha)
{
    k3lColor4f(red / 255.0f, green / 255.0f, blue / 255.0f, alpha / 255.0f);
}

// Sets the current texture coordinate; outside a primitive GL takes it at once too.
void k3lTexCoord2f(GLfloat s, GLfloat t)
{
    currentTexCoord[0] = s;
    currentTexCoord[1] = t;
    if (!insidePrimitive) {
        glTexCoord2f(s, t);
    }
}

// A vertex with the current colour and, while texturing, texture coordinate.
void k3lVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    glColor4f(currentColor[0], currentColor[1], currentColor[2], currentColor[3]);
    if (texturing) {
        glTexCoord2f(currentTexCoord[0], currentTexCoord[1]);
    }
    glVertex3f(x, y, z);
}

// A vertex from three floats.
void k3lVertex3fv(const GLfloat* vertex)
{
    k3lVertex3f(vertex[0], vertex[1], vertex[2]);
}

// A vertex at whole coordinates.
void k3lVertex3i(GLint x, GLint y, GLint z)
{
    k3lVertex3f(static_cast<GLfloat>(x), static_cast<GLfloat>(y), static_cast<GLfloat>(z));
}

// A vertex at whole coordinates in the z = 0 plane.
void k3lVertex2i(GLint x, GLint y)
{
    k3lVertex3f(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f);
}
