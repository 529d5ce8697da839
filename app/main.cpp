// The KLOVA Video Converter program.
#include "app/converter_app.h"

int main(int argc, char** argv)
{
    klova::ConverterApp app(argc, argv);
    return app.Run();
}
