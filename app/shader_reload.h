// The cloud shader pair from the working directory: built at start-up, and
// built again while the program runs once an edit of either file has settled.
#ifndef QUORVEL_SHADER_RELOAD_H
#define QUORVEL_SHADER_RELOAD_H

// Builds cloudShader from the pair; false when it cannot be built.
bool loadCloudShader();
// Looks at the pair a few times a second; an edit seen the same by two looks
// in a row is built, and replaces cloudShader when it builds.
void reloadEditedShaders();

#endif
