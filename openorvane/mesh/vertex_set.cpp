#include <openorvane/mesh/vertex_set.hpp>

#include <numeric>
#include <utility>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>

namespace orvane
{
    class VertexSet::Impl
    {
    public:
        index_t nb_vertices{ 0 };
        AttributeManager vertex_attributes;
    };

    VertexSet::VertexSet() : impl_{ std::make_unique< Impl >() } {}

    VertexSet::VertexSet( VertexSet&& other ) noexcept
        : Identifier{ std::move( other ) },
          impl_{ std::exchange( other.impl_, std::make_unique< Impl >() ) }
    {
    }

    VertexSet& VertexSet::operator=( VertexSet&& other ) noexcept
    {
        if( this != &other )
        {
            Identifier::operator=( std::move( other ) );
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    VertexSet::~VertexSet() = default;

    index_t VertexSet::nb_vertices() const
    {
        return impl_->nb_vertices;
    }

    AttributeManager& VertexSet::vertex_attribute_manager() const
    {
        return impl_->vertex_attributes;
    }

    void VertexSet::vertices_added( index_t /*nb_vertices_total*/ ) {}

    void VertexSet::vertices_deleted(
        const std::vector< bool >& /*to_delete*/, const OldToNew& /*old2new*/ )
    {
    }

    void VertexSet::copy_vertex_set( const VertexSet& other )
    {
        impl_->nb_vertices = other.impl_->nb_vertices;
        impl_->vertex_attributes.copy( other.impl_->vertex_attributes );
        Identifier::operator=( other );
    }

    VertexSetBuilder::VertexSetBuilder( VertexSet& mesh )
        : IdentifierBuilder{ mesh }, vertex_set_( mesh )
    {
    }

    VertexSetBuilder::~VertexSetBuilder() = default;

    std::unique_ptr< VertexSetBuilder > VertexSetBuilder::create( VertexSet& mesh )
    {
        return MeshBuilderFactory::create( mesh.impl_name(), mesh );
    }

    index_t VertexSetBuilder::create_vertex()
    {
        return create_vertices( 1 );
    }

    index_t VertexSetBuilder::create_vertices( index_t nb )
    {
        auto& impl = *vertex_set_.impl_;
        const auto first = impl.nb_vertices;
        if( nb == 0 )
        {
            return first;
        }
        // NO_ID stays free to mean "no vertex".
        ORVANE_EXCEPTION( nb < NO_ID - first,
            "[VertexSetBuilder::create_vertices] Cannot create ", nb,
            " vertices beside the ", first, " existing ones: too many vertices" );
        impl.nb_vertices += nb;
        impl.vertex_attributes.resize( impl.nb_vertices );
        vertex_set_.vertices_added( impl.nb_vertices );
        return first;
    }

    OldToNew VertexSetBuilder::delete_isolated_vertices()
    {
        OldToNew old2new( vertex_set_.nb_vertices() );
        std::iota( old2new.begin(), old2new.end(), index_t{ 0 } );
        return old2new;
    }

    OldToNew VertexSetBuilder::delete_vertices( const std::vector< bool >& to_delete )
    {
        auto& impl = *vertex_set_.impl_;
        ORVANE_EXCEPTION( to_delete.size() == impl.nb_vertices,
            "[VertexSetBuilder::delete_vertices] Expected one flag per vertex, got ",
            to_delete.size(), " flags for ", impl.nb_vertices, " vertices" );
        auto old2new = detail::mapping_after_deletion( to_delete );
        index_t nb_deleted{ 0 };
        for( const auto flag : to_delete )
        {
            nb_deleted += flag ? 1 : 0;
        }
        if( nb_deleted == 0 )
        {
            return old2new;
        }
        impl.vertex_attributes.delete_elements( to_delete );
        impl.nb_vertices -= nb_deleted;
        vertex_set_.vertices_deleted( to_delete, old2new );
        return old2new;
    }

    void VertexSetBuilder::copy_vertex_set( const VertexSet& other )
    {
        vertex_set_.copy_vertex_set( other );
    }
} // namespace orvane
