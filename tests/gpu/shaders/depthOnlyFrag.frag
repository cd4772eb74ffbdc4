#version 450

// Writes no colour: depth-only passes.
void main()
{
}
