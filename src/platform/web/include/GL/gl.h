#pragma once
// OpenGL as the show calls it in the browser: emscripten's GL/gl.h, with the calls the
// show makes between glBegin and glEnd routed through immediate_web.cpp. emscripten's
// emulation of immediate mode lays out a primitive's vertex data by the calls made for
// its first vertex, so a colour or texture coordinate set once for several vertices
// garbles the primitive; routed, every vertex takes the current colour and texture
// coordinate, as OpenGL gives them (the texture coordinate only while texturing is on:
// the emulation leaves it out of the vertex layout otherwise).
#include_next <GL/gl.h>

#ifndef K3L_GL_UNROUTED
void k3lEnable(GLenum capability);
void k3lDisable(GLenum capability);
void k3lBegin(GLenum mode);
void k3lEnd();
void k3lColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void k3lColor4ub(GLubyte red, GLubyte green, GLubyte blue, GLubyte alpha);
void k3lTexCoord2f(GLfloat s, GLfloat t);
void k3lVertex3f(GLfloat x, GLfloat y, GLfloat z);
void k3lVertex3fv(const GLfloat* vertex);
void k3lVertex3i(GLint x, GLint y, GLint z);
void k3lVertex2i(GLint x, GLint y);

#define glEnable k3lEnable
#define glDisable k3lDisable
#define glBegin k3lBegin
#define glEnd k3lEnd
#define glColor4f k3lColor4f
#define glColor4ub k3lColor4ub
#define glTexCoord2f k3lTexCoord2f
#define glVertex3f k3lVertex3f
#define glVertex3fv k3lVertex3fv
#define glVertex3i k3lVertex3i
#define glVertex2i k3lVertex2i
#endif
