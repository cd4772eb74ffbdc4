#version 450

// The outline's depth pass writes depth only.
void main()
{
}
