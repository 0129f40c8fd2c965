#include <openorvane/mesh/openorvane_tetrahedral_solid.hpp>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/mesh/coordinates.hpp>

namespace orvane
{
    template < index_t dimension >
    class OpenOrvaneTetrahedralSolid< dimension >::Impl
    {
    public:
        index_t nb_tetrahedra() const
        {
            return static_cast< index_t >( vertices_.size() / 4 );
        }

        index_t vertex( const PolyhedronVertex& polyhedron_vertex ) const
        {
            return vertices_[4 * polyhedron_vertex.polyhedron_id
                             + polyhedron_vertex.vertex_id];
        }

        void set_vertex(
            const PolyhedronVertex& polyhedron_vertex, index_t vertex_id )
        {
            vertices_[4 * polyhedron_vertex.polyhedron_id
                      + polyhedron_vertex.vertex_id] = vertex_id;
        }

        index_t adjacent( const PolyhedronFacet& facet ) const
        {
            return adjacents_[4 * facet.polyhedron_id + facet.facet_id];
        }

        void set_adjacent( const PolyhedronFacet& facet, index_t adjacent_id )
        {
            adjacents_[4 * facet.polyhedron_id + facet.facet_id] = adjacent_id;
        }

        PolyhedronVertex around_vertex( index_t vertex_id ) const
        {
            return around_vertex_[vertex_id];
        }

        void set_around_vertex(
            index_t vertex_id, const PolyhedronVertex& polyhedron_vertex )
        {
            around_vertex_[vertex_id] = polyhedron_vertex;
        }

        index_t create_tetrahedron( const std::array< index_t, 4 >& vertices )
        {
            const auto id = nb_tetrahedra();
            vertices_.insert( vertices_.end(), vertices.begin(), vertices.end() );
            adjacents_.insert( adjacents_.end(), 4, NO_ID );
            return id;
        }

        void resize_vertices( index_t nb_vertices )
        {
            coordinates_.resize( nb_vertices );
            around_vertex_.resize( nb_vertices );
        }

        void delete_vertices(
            const std::vector< bool >& to_delete, const OldToNew& old2new )
        {
            coordinates_.delete_points( to_delete );
            delete_vector_elements( to_delete, around_vertex_ );
            for( auto& vertex : vertices_ )
            {
                if( vertex != NO_ID && vertex < old2new.size() )
                {
                    vertex = old2new[vertex];
                }
            }
        }

        void delete_tetrahedra(
            const std::vector< bool >& to_delete, const OldToNew& old2new )
        {
            index_t kept{ 0 };
            for( index_t t = 0; t < nb_tetrahedra(); t++ )
            {
                if( to_delete[t] )
                {
                    continue;
                }
                for( index_t i = 0; i < 4; i++ )
                {
                    vertices_[4 * kept + i] = vertices_[4 * t + i];
                    const auto adjacent = adjacents_[4 * t + i];
                    adjacents_[4 * kept + i] =
                        adjacent == NO_ID || adjacent >= old2new.size()
                            ? NO_ID
                            : old2new[adjacent];
                }
                kept++;
            }
            vertices_.resize( 4 * static_cast< std::size_t >( kept ) );
            adjacents_.resize( 4 * static_cast< std::size_t >( kept ) );
        }

        CoordinateArray< dimension >& coordinates()
        {
            return coordinates_;
        }

        const CoordinateArray< dimension >& coordinates() const
        {
            return coordinates_;
        }

        void clear_polyhedra()
        {
            vertices_.clear();
            adjacents_.clear();
        }

        void reserve( index_t nb_tetrahedra )
        {
            vertices_.reserve( 4 * static_cast< std::size_t >( nb_tetrahedra ) );
            adjacents_.reserve( 4 * static_cast< std::size_t >( nb_tetrahedra ) );
        }

    private:
        // Four entries per tetrahedron, in local order.
        std::vector< index_t > vertices_;
        // Entry 4t + f is the tetrahedron across facet f of t, or NO_ID.
        std::vector< index_t > adjacents_;
        std::vector< PolyhedronVertex > around_vertex_;
        CoordinateArray< dimension > coordinates_;
    };

    template < index_t dimension >
    OpenOrvaneTetrahedralSolid< dimension >::OpenOrvaneTetrahedralSolid()
        : impl_( std::make_unique< Impl >() )
    {
    }

    template < index_t dimension >
    OpenOrvaneTetrahedralSolid< dimension >::OpenOrvaneTetrahedralSolid(
        OpenOrvaneTetrahedralSolid&& other ) noexcept
        : TetrahedralSolid< dimension >( std::move( other ) ),
          impl_( std::exchange( other.impl_, std::make_unique< Impl >() ) )
    {
    }

    template < index_t dimension >
    OpenOrvaneTetrahedralSolid< dimension >&
        OpenOrvaneTetrahedralSolid< dimension >::operator=(
            OpenOrvaneTetrahedralSolid&& other ) noexcept
    {
        TetrahedralSolid< dimension >::operator=( std::move( other ) );
        impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        return *this;
    }

    template < index_t dimension >
    OpenOrvaneTetrahedralSolid< dimension >::~OpenOrvaneTetrahedralSolid() =
        default;

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolid< dimension >::vertices_added(
        index_t nb_vertices_total )
    {
        impl_->resize_vertices( nb_vertices_total );
        TetrahedralSolid< dimension >::vertices_added( nb_vertices_total );
    }

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolid< dimension >::vertices_deleted(
        const std::vector< bool >& to_delete, const OldToNew& old2new )
    {
        impl_->delete_vertices( to_delete, old2new );
        TetrahedralSolid< dimension >::vertices_deleted( to_delete, old2new );
    }

    template < index_t dimension >
    index_t OpenOrvaneTetrahedralSolid< dimension >::get_nb_polyhedra() const
    {
        return impl_->nb_tetrahedra();
    }

    template < index_t dimension >
    index_t OpenOrvaneTetrahedralSolid< dimension >::get_polyhedron_vertex(
        const PolyhedronVertex& polyhedron_vertex ) const
    {
        return impl_->vertex( polyhedron_vertex );
    }

    template < index_t dimension >
    index_t OpenOrvaneTetrahedralSolid< dimension >::get_polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        return impl_->adjacent( polyhedron_facet );
    }

    template < index_t dimension >
    PolyhedronVertex
        OpenOrvaneTetrahedralSolid< dimension >::get_polyhedron_around_vertex(
            index_t vertex_id ) const
    {
        return impl_->around_vertex( vertex_id );
    }

    template < index_t dimension >
    const Point< dimension >& OpenOrvaneTetrahedralSolid< dimension >::get_point(
        index_t vertex_id ) const
    {
        return impl_->coordinates().point( vertex_id );
    }

    template < index_t dimension >
    OpenOrvaneTetrahedralSolidBuilder< dimension >::OpenOrvaneTetrahedralSolidBuilder(
        VertexSet& mesh )
        : TetrahedralSolidBuilder< dimension >(
            dynamic_cast< OpenOrvaneTetrahedralSolid< dimension >& >( mesh ) ),
          solid_( dynamic_cast< OpenOrvaneTetrahedralSolid< dimension >& >( mesh ) )
    {
    }

    template < index_t dimension >
    OpenOrvaneTetrahedralSolidBuilder<
        dimension >::~OpenOrvaneTetrahedralSolidBuilder() = default;

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolidBuilder< dimension >::do_set_point(
        index_t vertex_id, const Point< dimension >& point )
    {
        solid_.impl_->coordinates().set_point( vertex_id, point );
    }

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolidBuilder< dimension >::do_set_polyhedron_vertex(
        const PolyhedronVertex& polyhedron_vertex, index_t vertex_id )
    {
        solid_.impl_->set_vertex( polyhedron_vertex, vertex_id );
    }

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolidBuilder< dimension >::do_set_polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet, index_t adjacent_id )
    {
        solid_.impl_->set_adjacent( polyhedron_facet, adjacent_id );
    }

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolidBuilder<
        dimension >::do_associate_polyhedron_vertex_to_vertex(
        const PolyhedronVertex& polyhedron_vertex, index_t vertex_id )
    {
        solid_.impl_->set_around_vertex( vertex_id, polyhedron_vertex );
    }

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolidBuilder< dimension >::do_delete_polyhedra(
        const std::vector< bool >& to_delete, const std::vector< index_t >& old2new )
    {
        solid_.impl_->delete_tetrahedra( to_delete, old2new );
    }

    template < index_t dimension >
    void OpenOrvaneTetrahedralSolidBuilder< dimension >::do_copy_polyhedra(
        const SolidMesh< dimension >& solid )
    {
        auto& impl = *solid_.impl_;
        impl.resize_vertices( solid.nb_vertices() );
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            impl.coordinates().set_point( v, solid.point( v ) );
        }
        impl.clear_polyhedra();
        impl.reserve( solid.nb_polyhedra() );
        for( index_t p = 0; p < solid.nb_polyhedra(); p++ )
        {
            const auto vertices = solid.polyhedron_vertices( p );
            impl.create_tetrahedron(
                { vertices[0], vertices[1], vertices[2], vertices[3] } );
            for( local_index_t f = 0; f < 4; f++ )
            {
                impl.set_adjacent(
                    { p, f }, solid.polyhedron_adjacent( { p, f } ).value_or( NO_ID ) );
            }
        }
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            impl.set_around_vertex(
                v, solid.polyhedron_around_vertex( v ).value_or( PolyhedronVertex{} ) );
        }
    }

    template < index_t dimension >
    index_t OpenOrvaneTetrahedralSolidBuilder< dimension >::do_create_tetrahedron(
        const std::array< index_t, 4 >& vertices )
    {
        return solid_.impl_->create_tetrahedron( vertices );
    }

    template class OpenOrvaneTetrahedralSolid< 3 >;
    template class OpenOrvaneTetrahedralSolidBuilder< 3 >;
} // namespace orvane
