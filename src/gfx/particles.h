#pragma once
#include <cstdint>

// One soft sprite of the swarm, in canvas units.
struct Particle {
    float x;
    float y;
    int32_t z;  // always 0
};

constexpr int PARTICLE_COUNT = 50;

// The swarm: written by initParticles and stepParticles, read by the drawing calls.
extern Particle particles[PARTICLE_COUNT];

// Gathers the whole swarm at its starting point (0, 200).
void initParticles();

// Moves every particle by one random-walk step of -0.5, 0 or +0.5 per axis.
void stepParticles();

// Draws the swarm as 20 x 20 textured squares with the caller's texture, colour and blending.
void drawParticles();

// Draws six copies of the swarm, 30 canvas units apart downwards.
void drawParticleColumn();
