#include "app/demo.h"
#include "platform/fmod.h"
#include "platform/glut.h"
#include "scenes/display.h"
#include "sync/music.h"

int main(int argc, char** argv)
{
    ShowCursor(false);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
    glutInitWindowSize(640, 480);
    glutInitWindowPosition(100, 100);
    glutCreateWindow("k3lvana");
    glutDisplayFunc(onDisplay);
    glutKeyboardFunc(onKeyboard);
    glutIdleFunc(onIdle);
    loadDemo();
    FMUSIC_PlaySong(song);
    glutMainLoop();
    return 0;
}
