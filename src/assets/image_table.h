// The show's seventeen images, in load order: K3L_IMAGE(slot, file in data/), one a line.
// The one list of them: textures.h and textures.cpp make and load the slots from it, the tests
// and the benchmarks walk IMAGE_SLOTS, and CMake reads these lines (cmake/image_table.cmake) for
// the files the art tool writes and the data check expects. Included with K3L_IMAGE defined.
K3L_IMAGE(afraid512, "afraid512.tga")
K3L_IMAGE(afraid64, "afraid64.tga")
K3L_IMAGE(noise, "noise.tga")
K3L_IMAGE(credits, "credits.tga")
K3L_IMAGE(noiseliscio, "noiseliscio.tga")
K3L_IMAGE(confidence512, "confidence512.tga")
K3L_IMAGE(confidence, "confidence.tga")
K3L_IMAGE(schizzi, "schizzi.tga")
K3L_IMAGE(sprite, "sprite.tga")
K3L_IMAGE(scoramento, "scoramento.tga")
K3L_IMAGE(gatto, "gatto.tga")
K3L_IMAGE(wisdom, "wisdom.tga")
K3L_IMAGE(wisdom64, "wisdom64.tga")
K3L_IMAGE(vs, "vs.tga")
K3L_IMAGE(uncertainty64, "uncertainty64.tga")
K3L_IMAGE(brave, "brave.tga")
K3L_IMAGE(creditifinali, "creditifinali.tga")
