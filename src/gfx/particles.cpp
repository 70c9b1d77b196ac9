#include "gfx/particles.h"

#include <GL/gl.h>

#include "shared/random.h"

Particle particles[PARTICLE_COUNT];

namespace {
constexpr float START_X = 0.0f;        // canvas units
constexpr float START_Y = 200.0f;      // canvas units
constexpr float HALF_SIZE = 10.0f;     // canvas units, half a particle square's side
constexpr float COLUMN_STEP = -30.0f;  // canvas units between copies of a column
constexpr int COLUMN_COPIES = 6;

// One random-walk step along one axis: -0.5, 0 or +0.5 canvas units, by the next number's remainder mod 3.
double walkStep()
{
    return (k3l::rand() % 3) * 0.5 - 0.5;
}
}  // namespace

void initParticles()
{
    for (Particle& particle : particles) {
        particle.x = START_X;
        particle.y = START_Y;
        particle.z = 0;
    }
}

void stepParticles()
{
    for (Particle& particle : particles) {
        particle.x = static_cast<float>(particle.x + walkStep());
        particle.y = static_cast<float>(particle.y + walkStep());
        particle.z = 0;
    }
}

void drawParticles()
{
    glBegin(GL_QUADS);
    for (const Particle& particle : particles) {
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(particle.x - HALF_SIZE, particle.y - HALF_SIZE, 0.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(particle.x + HALF_SIZE, particle.y - HALF_SIZE, 0.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(particle.x + HALF_SIZE, particle.y + HALF_SIZE, 0.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(particle.x - HALF_SIZE, particle.y + HALF_SIZE, 0.0f);
    }
    glEnd();
}

void drawParticleColumn()
{
    glPushMatrix();
    for (int copy = 0; copy < COLUMN_COPIES; ++copy) {
        drawParticles();
        glTranslatef(0.0f, COLUMN_STEP, 0.0f);
    }
    glPopMatrix();
}
