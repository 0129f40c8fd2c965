#include <iostream>

int main()
{
    std::cout << "mesh_example: nothing to run yet" << std::endl;
    return 0;
}
