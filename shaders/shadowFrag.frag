#version 450

// Shadow casters write depth only.
void main()
{
}
