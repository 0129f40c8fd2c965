#include <tests/simplex/remeshing_fixtures.hpp>

#include <openorvane/model/model_library.hpp>

#include <tests/support/brep_fixtures.hpp>

namespace orvane::test
{
    WireModel::WireModel( const std::vector< Point< 3 > >& corner_points )
        : corner_points_( corner_points )
    {
        OpenOrvaneModelLibrary::initialize();
        BRepBuilder builder{ model };
        builder.create_unique_vertices( static_cast< index_t >( corner_points.size() ) );
        for( index_t k = 0; k < corner_points.size(); k++ )
        {
            corners.push_back( add_linked_corner( model, corner_points[k], k ) );
        }
    }

    uuid WireModel::add_line( const std::vector< Point< 3 > >& points, bool closed )
    {
        BRepBuilder builder{ model };
        std::vector< index_t > uniques;
        std::vector< index_t > touched;
        for( const auto& point : points )
        {
            auto unique = NO_ID;
            for( index_t k = 0; k < corner_points_.size(); k++ )
            {
                if( corner_points_[k].inexact_equal( point ) )
                {
                    unique = k;
                }
            }
            if( unique == NO_ID )
            {
                unique = builder.create_unique_vertex();
            }
            else if( std::find( touched.begin(), touched.end(), unique ) == touched.end() )
            {
                touched.push_back( unique );
            }
            uniques.push_back( unique );
        }
        const auto id = add_linked_line( model, points, uniques, closed );
        for( const auto k : touched )
        {
            builder.add_corner_line_boundary_relationship(
                model.corner( corners[k] ), model.line( id ) );
        }
        return id;
    }
} // namespace orvane::test
