#include <explicit/problematic_elements.hpp>

namespace
{
    using orvane::internal::ProblematicElements;

    void convert_elements( const ProblematicElements::ElementLists& source,
        ProblematicElements::ElementLists& target,
        const orvane::ElementsMapping& mapping )
    {
        for( const auto& [mesh, elements] : source )
        {
            for( const auto element : elements )
            {
                // at() throws std::out_of_range for an unknown element.
                for( const auto& output :
                    mapping.in2out().at( orvane::MeshElement{ mesh, element } ) )
                {
                    target[output.mesh_id].push_back( output.element );
                }
            }
        }
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        ProblematicElements::ProblematicElements( ProblematicElements&& other ) noexcept
            : surfaces( std::move( other.surfaces ) ),
              lines( std::move( other.lines ) ),
              corners( std::move( other.corners ) )
        {
            other.surfaces.clear();
            other.lines.clear();
            other.corners.clear();
        }

        ProblematicElements& ProblematicElements::operator=(
            ProblematicElements&& other ) noexcept
        {
            if( this != &other )
            {
                surfaces = std::move( other.surfaces );
                lines = std::move( other.lines );
                corners = std::move( other.corners );
                other.surfaces.clear();
                other.lines.clear();
                other.corners.clear();
            }
            return *this;
        }

        ProblematicElements::~ProblematicElements() = default;

        int ProblematicElements::count() const
        {
            std::size_t total{ 0 };
            for( const auto* lists : { &surfaces, &lines, &corners } )
            {
                for( const auto& entry : *lists )
                {
                    total += entry.second.size();
                }
            }
            return static_cast< int >( total );
        }
    } // namespace internal

    BRepExplicitModelerRemainingException::BRepExplicitModelerRemainingException(
        BRep&& model,
        ModelMappings&& model_mappings,
        const internal::ProblematicElements& elements )
        : OpenOrvaneException{ OpenOrvaneException::no_stack,
              "[BRepExplicitModeler::build] There are remaining elements "
              "(polygons and/or edges) that are still invalid (intersecting "
              "other elements)." },
          brep( std::move( model ) ),
          mappings( std::move( model_mappings ) )
    {
        convert_elements( elements.corners, remaining.corners,
            mappings.mesh_elements_mapping.corners );
        convert_elements(
            elements.lines, remaining.lines, mappings.mesh_elements_mapping.lines );
        convert_elements( elements.surfaces, remaining.surfaces,
            mappings.mesh_elements_mapping.surfaces );
    }

    BRepExplicitModelerRemainingException::BRepExplicitModelerRemainingException(
        BRepExplicitModelerRemainingException&& ) noexcept = default;

    BRepExplicitModelerRemainingException::~BRepExplicitModelerRemainingException() =
        default;
} // namespace orvane
