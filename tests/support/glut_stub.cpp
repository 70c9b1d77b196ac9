#include "support/glut_stub.h"

#include "platform/glut.h"

GlutStubCounts glutStub;

void resetGlutStub()
{
    glutStub = GlutStubCounts{};
}

void glutPostRedisplay()
{
    ++glutStub.postRedisplay;
}

void glutSwapBuffers()
{
    ++glutStub.swapBuffers;
}

void glutFullScreen()
{
    ++glutStub.fullScreen;
}

int ShowCursor(bool visible)
{
    glutStub.pointerDisplayCount += visible ? 1 : -1;
    return glutStub.pointerDisplayCount;
}
