#include "support/glut_stub.h"

#include "platform/glut.h"
#include "support/call_log.h"

GlutStubCounts glutStub;

void resetGlutStub()
{
    glutStub = GlutStubCounts{};
}

void glutPostRedisplay()
{
    ++glutStub.postRedisplay;
    logCall("glutPostRedisplay");
}

void glutSwapBuffers()
{
    ++glutStub.swapBuffers;
}

void glutFullScreen()
{
    ++glutStub.fullScreen;
    logCall("glutFullScreen");
}

int ShowCursor(bool visible)
{
    glutStub.pointerDisplayCount += visible ? 1 : -1;
    logCall(visible ? "ShowCursor(TRUE)" : "ShowCursor(FALSE)");
    return glutStub.pointerDisplayCount;
}
